#include "text/FormTexts.h"

#include <iterator>

#include "text/LanguageText.h"

namespace parlumo {
namespace {

struct TFormRow {
  std::string_view control;
  int item;
  std::string_view english;
  std::string_view german;
};

// The fixed texts of the settings form in the order they are applied. Group-box
// captions keep their leading and trailing blank: the frame line stops short of the
// text. Within one page together with the three buttons, no two distinct texts share
// an accelerator letter.
constexpr TFormRow kFixedRows[] = {
    {kSettingsFormName, kCaptionItem, "Settings", "Einstellungen"},
    {"btnOK", kCaptionItem, "OK", "OK"},
    {"btnCancel", kCaptionItem, "Cancel", "Abbrechen"},
    {"btnApply", kCaptionItem, "&Apply", "Ü&bernehmen"},
    {"miClose", kCaptionItem, "&Close", "&Beenden"},
    {"miSettings", kCaptionItem, "&Settings", "&Einstellungen"},
    {"tabCommon", kCaptionItem, "General", "Allgemein"},
    {"gbProgramLanguage", kCaptionItem, " Program Language ", " Programmsprache "},
    {"laProgramLanguageInfo", kCaptionItem, "Here you can configure the programs language.",
     "Hier können Sie die Sprache des Programms einstellen."},
    {"laProgramLanguage", kCaptionItem, "&Language:", "&Sprache:"},
    {"gbStartupType", kCaptionItem, " Startup Settings ", " Starteinstellungen "},
    {"laStartupTypeInfo", kCaptionItem, "Here you can change the programs startup settings.",
     "Hier können Sie die Starteinstellungen des Programms ändern."},
    {"laStartupType", kCaptionItem, "On startup do:", "Beim Programmstart:"},
    {"cbStartupOnWindows", kCaptionItem, "Start this program when I log in",
     "Dieses Programm bei der Anmeldung starten"},
    {"cbStartupType", 0, "Only show trayicon", "Nur Symbol im Infobereich anzeigen"},
    {"cbStartupType", 1, "Show translation dialog", "Übersetzungsdialog anzeigen"},
    {"cbStartupType", 2, "Show website translation", "Webseitenübersetzung anzeigen"},
    {"cbStartupType", 3, "Show programs settings", "Programmeinstellungen anzeigen"},
    {"gbTrayIcon", kCaptionItem, " Trayicon Settings ", " Infobereich-Einstellungen "},
    {"laTrayIconInfo", kCaptionItem,
     "Here you can change the system trayicon (near the clock) settings.",
     "Hier können Sie die Einstellungen für das Programmsymbol im Infobereich (neben der Uhr) "
     "ändern."},
    {"laOnTrayIcon", kCaptionItem, "On double-click:", "Bei Doppelklick:"},
    {"cbOnTrayIcon", 0, "Show settings", "Einstellungen anzeigen"},
    {"cbOnTrayIcon", 1, "Show text translation", "Textübersetzung anzeigen"},
    {"cbOnTrayIcon", 2, "Show website translation", "Webseitenübersetzung anzeigen"},
    {"miTranslation", kCaptionItem, "Translate text", "Text übersetzen"},
    {"miWebsiteTranslation", kCaptionItem, "Translate website", "Webseite übersetzen"},
    {"miHelp", kCaptionItem, "Help", "Hilfe"},
    {"miCallHelp", kCaptionItem, "Help", "Hilfe"},
    {"miInfo", kCaptionItem, "Info", "Info"},
    {"miSearchForUpdate", kCaptionItem, "Check for update", "Nach Update suchen"},
    {"tabInternet", kCaptionItem, "Internet", "Internet"},
    {"gbProxyServer", kCaptionItem, " Proxyserver Settings ", " Proxyserver-Einstellungen "},
    {"laProxyServerInfo", kCaptionItem,
     "Here you can set up a proxy server i you don't have a direct connection to the internet.",
     "Hier können Sie einen Proxyserver einrichten, falls Sie keine direkte Verbindung zum "
     "Internet haben."},
    {"laProxyServer", kCaptionItem, "Server name or IP:", "Servername oder IP-Adresse:"},
    {"laProxyPort", kCaptionItem, "Server port:", "Serverport:"},
    {"laProxyUsername", kCaptionItem, "Username for proxy:", "Benutzername für den Proxy:"},
    {"laProxyPassword", kCaptionItem, "Password for proxy:", "Kennwort für den Proxy:"},
    {"tabQuickTranslation", kCaptionItem, "Quick Translation", "Schnellübersetzung"},
    {"gbHotkeys", kCaptionItem, " Hotkeys ", " Hotkeys "},
    {"laHotkeysInfo", kCaptionItem,
     "Here you can define hotkeys for the quick translation feature which translates the "
     "currently marked text.",
     "Hier können Sie Hotkeys für die Schnellübersetzung festlegen, die den gerade markierten "
     "Text übersetzt."},
    {"cbQuickTranslation1", kCaptionItem,
     "Quick translation Hotkey 1:", "Schnellübersetzung Hotkey 1:"},
    {"cbQuickTranslation2", kCaptionItem,
     "Quick translation Hotkey 2:", "Schnellübersetzung Hotkey 2:"},
    // Shown above the commands to bind when the desktop lets no program grab keys.
    {"laQuickCommandsNote", kCaptionItem,
     "This desktop lets no program grab hotkeys. Bind these commands in its keyboard settings:",
     "Diese Arbeitsumgebung lässt Programme keine Tastenkürzel belegen. Legen Sie diese Befehle "
     "in ihren Tastatureinstellungen auf Tastenkürzel:"},
    {"gbAdditionalSettings", kCaptionItem, " Additional settings ", " Weitere Einstellungen "},
    {"laAdditionalInfo", kCaptionItem,
     "Here you can set up additional settings for the quick translation feature.",
     "Hier können Sie weitere Einstellungen für die Schnellübersetzung vornehmen."},
    {"cbTranslationMsgBox", kCaptionItem, "Show translated text as message box",
     "Übersetzten Text als Meldungsfenster anzeigen"},
    {"cbShowBalloonHint", kCaptionItem, "Use balloon hint if possible",
     "Wenn möglich als Sprechblase anzeigen"},
    {"cbCopyToClipboard", kCaptionItem, "Copy translated text to clipboard",
     "Übersetzten Text in die Zwischenablage kopieren"},
    {"cbNotifyBalloonHint", kCaptionItem, "Notification with balloon hint when inquiry sent",
     "Benachrichtigung per Sprechblase, wenn die Anfrage gesendet wird"},
    {"tabTranslateToFile", kCaptionItem, "Translation to File", "Übersetzung in Datei"},
    {"gbTranslateToFile", kCaptionItem, " Translation to File ", " Übersetzung in Datei "},
    {"laTranslateToFileInfo", kCaptionItem,
     "You can set a shortcut to translate the currently selected text. It will be written to a "
     "file, which will be opened then.",
     "Sie können eine Tastenkombination festlegen, mit der der gerade markierte Text übersetzt "
     "wird. Die Übersetzung wird in eine Datei geschrieben, die anschließend geöffnet wird."},
    {"cbTransToFileActive", kCaptionItem, "Hotkey:", "Hotkey:"},
    {"laFileCommandNote", kCaptionItem,
     "This desktop lets no program grab hotkeys. Bind this command in its keyboard settings:",
     "Diese Arbeitsumgebung lässt Programme keine Tastenkürzel belegen. Legen Sie diesen Befehl "
     "in ihren Tastatureinstellungen auf ein Tastenkürzel:"},
    {"laFilenameToSave", kCaptionItem, "Save file as:", "Datei speichern unter:"},
    {"cbOverwritewoPrompt", kCaptionItem, "Overwrite file without prompt",
     "Datei ohne Rückfrage überschreiben"},
    {"rbStartAssocProgram", kCaptionItem, "Start associated program",
     "Verknüpftes Programm starten"},
    {"rbStartThisProgram", kCaptionItem, "Start this program:", "Dieses Programm starten:"},
    {"btnSearchFile", kCaptionItem, "Browse", "Durchsuchen"},
    {"btnSearchProg", kCaptionItem, "Browse", "Durchsuchen"},
};

// The three pair lists are designed with twelve items, item i relabelled with the
// name of pair i (key 500 + i); each has a label with key 105.
constexpr std::string_view kPairLists[] = {"cbQuickLang1", "cbQuickLang2", "cbTransToFileLang"};
constexpr std::string_view kPairLabels[] = {"laLang1Selection", "laLang2Selection",
                                            "laLangTransToFile"};
constexpr int kPairCount = 12;
constexpr int kFirstPairKey = 500;
constexpr int kPairLabelKey = 105;

}  // namespace

std::vector<TFormText> SettingsFormTexts(int language) {
  const bool german = language == kUILanguageGerman;
  std::vector<TFormText> texts;
  texts.reserve(std::size(kFixedRows) + std::size(kPairLists) * kPairCount +
                std::size(kPairLabels));
  for (const TFormRow& row : kFixedRows) {
    texts.push_back(
        {std::string(row.control), row.item, std::string(german ? row.german : row.english)});
  }
  for (std::string_view list : kPairLists) {
    for (int pair = 0; pair < kPairCount; ++pair) {
      texts.push_back({std::string(list), pair, LanguageText(language, kFirstPairKey + pair)});
    }
  }
  for (std::string_view label : kPairLabels) {
    texts.push_back({std::string(label), kCaptionItem, LanguageText(language, kPairLabelKey)});
  }
  return texts;
}

}  // namespace parlumo
