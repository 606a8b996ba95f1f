#include "text/LanguageText.h"

#include "runtime/Version.h"

namespace parlumo {
namespace {

// One key with its English and German text. An empty German text means the German
// table lacks the key, so the lookup falls back to English.
struct TKeyText {
  int key;
  std::string_view english;
  std::string_view german;
};

// Keys by hundreds: 100s text translation window, 200s website translation window,
// 300s information window, 500-511 pair names, 600s message boxes (text on the even
// key, caption on the next odd one), 700s file dialogs of the translation to file,
// 800s lines of parlumo-translate ("%1" stands for a size such as "1 MiB"),
// 900 the caption of a translation. Key 302 is composed (VersionLine); 303 does not
// exist. The texts are the program's own, typos included; "&" marks an accelerator.
constexpr TKeyText kKeyTexts[] = {
    // Text translation window.
    {100, "Text translation", "Textübersetzung"},
    {101,
     "Enter the text, which you would have translated. You can also paste it from clipboard or "
     "load from a file. Then press the translate button.",
     "Geben Sie den Text ein, den Sie übersetzen lassen möchten. Sie können ihn auch aus der "
     "Zwischenablage einfügen oder aus einer Datei laden. Klicken Sie dann auf „Übersetzen“."},
    {102, "&Load from file", "Aus &Datei laden"},
    {103, "&Paste from clipboard", "Aus &Zwischenablage einfügen"},
    {104, "Enter the text here...", "Geben Sie den Text hier ein..."},
    {105, "Language &selection:", "Sprach&auswahl:"},
    {106, "&Translate", "Ü&bersetzen"},
    {107, "Here you will find the translated text...", "Hier finden Sie den übersetzten Text..."},
    {108, "&Save to file", "In Datei s&peichern"},
    {109, "&Copy to clipboard", "In Zwischenablage &kopieren"},
    {110, "Clo&se", "&Schließen"},
    {111, "Load file to translate", "Zu übersetzende Datei laden"},
    {112, "Text files (*.txt)|*.txt|Rich Text Format (*.rtf)|*.rtf|All files (*.*)|*.*",
     "Textdateien (*.txt)|*.txt|Rich Text Format (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*"},
    {113, "Save translated file", "Übersetzte Datei speichern"},

    // Website translation window.
    {200, "Website translation", "Webseitenübersetzung"},
    {201, "Here you can translate a whole website. But note, that images could not be translated.",
     "Hier können Sie eine ganze Webseite übersetzen lassen. Beachten Sie aber, dass Bilder nicht "
     "übersetzt werden können."},
    {202, "URL of the website to translate:", "URL der zu übersetzenden Webseite:"},
    {203, "Translate", "Übersetzen"},
    {204, "Close", "Schließen"},
    {205, "Language selection:", "Sprachauswahl:"},
    {206, "Close this window automatically after translation",
     "Dieses Fenster nach der Übersetzung automatisch schließen"},

    // Information window.
    {300, "Program information", "Programminformation"},
    {301, "OK", "OK"},
    {304,
     "This program sends only the text to translate and the chosen language pair to the "
     "configured translation service, by default the local offline service on this computer. "
     "No personal information will be transferred or evaluated.",
     "Dieses Programm sendet nur den zu übersetzenden Text und das gewählte Sprachpaar an den "
     "eingestellten Übersetzungsdienst, standardmäßig den lokalen Offline-Dienst auf diesem "
     "Computer. Es werden keine persönlichen Daten übertragen oder ausgewertet."},
    {305, "Show more about the sent information",
     "Mehr über die gesendeten Informationen anzeigen"},
    {306,
     "The translation service's own pages list the language pairs it offers and the "
     "translation engines it uses.",
     "Die Seiten des Übersetzungsdienstes selbst nennen die angebotenen Sprachpaare und die "
     "verwendeten Übersetzungsprogramme."},
    {307, "Visit the translation service's website",
     "Die Website des Übersetzungsdienstes besuchen"},
    {308, "Get more information about the language tools",
     "Weitere Informationen zu den Sprachtools erhalten"},
    {309, "Visit the Parlumo website", "Die Parlumo-Website besuchen"},

    // Language pair names, key 500 + pair index.
    {500, "English » German", "Englisch » Deutsch"},
    {501, "German » English", "Deutsch » Englisch"},
    {502, "French » German", "Französisch » Deutsch"},
    {503, "German » French", "Deutsch » Französisch"},
    {504, "English » French", "Englisch » Französisch"},
    {505, "English » Italian", "Englisch » Italienisch"},
    {506, "English » Portuguese", "Englisch » Portugiesisch"},
    {507, "English » Spanish", "Englisch » Spanisch"},
    {508, "French » English", "Französisch » Englisch"},
    {509, "Italian » English", "Italienisch » Englisch"},
    {510, "Portuguese » English", "Portugiesisch » Englisch"},
    {511, "Spanish » English", "Spanisch » Englisch"},

    // Message boxes: text, then caption.
    {600, "You have not entered any URL. Please type an URL into the URL field an try again.",
     "Sie haben keine URL eingegeben. Bitte geben Sie eine URL in das URL-Feld ein und versuchen "
     "Sie es erneut."},
    {601, "No URL entered", "Keine URL eingegeben"},
    {602,
     "You have not entered any text to translate. Please enter some text or load it from file "
     "or from the clipboard.",
     "Sie haben keinen Text zum Übersetzen eingegeben. Bitte geben Sie einen Text ein oder laden "
     "Sie ihn aus einer Datei oder aus der Zwischenablage."},
    {603, "No text entered", "Kein Text eingegeben"},
    {604,
     "Could not connect to server. Possibly you are not connected to the internet or the server "
     "is currently overloaded. Please try it later again.",
     "Es konnte keine Verbindung zum Server hergestellt werden. Möglicherweise besteht keine "
     "Verbindung zum Internet oder der Server ist zurzeit überlastet. Bitte versuchen Sie es "
     "später noch einmal."},
    {605, "No connection to server", "Keine Verbindung zum Server"},
    {606,
     "The server supplied data in an unsupported format.\n\nDo you want to go to the program "
     "vendors website to look for an update?",
     "Der Server hat Daten in einem nicht unterstützten Format geliefert.\n\nMöchten Sie auf der "
     "Website des Programmherstellers nach einem Update suchen?"},
    {607, "Unknown dataformat from server", "Unbekanntes Datenformat vom Server"},
    {608, "The text could not be translated. Please check your language settings.",
     "Der Text konnte nicht übersetzt werden. Bitte überprüfen Sie Ihre Spracheinstellungen."},
    {609, "Text could not be translated", "Text konnte nicht übersetzt werden"},
    {610,
     "The currently marked data is not in text format (e.g. image) or there is no marked data.",
     "Die zurzeit markierten Daten liegen nicht im Textformat vor (z. B. ein Bild), oder es sind "
     "keine Daten markiert."},
    {611, "Translation not possible", "Übersetzung nicht möglich"},
    {612, "The translation was copied to the clipboard.",
     "Die Übersetzung wurde in die Zwischenablage kopiert."},
    {613, "Translation copied to clipboard", "Übersetzung in die Zwischenablage kopiert"},
    {614, "The inquiry is sent to the server...", "Die Anfrage wird nun an den Server gesendet..."},
    {615, "Inquiry sent...", "Anfrage gesendet..."},
    {616, "There was no Filename set for saving the translated data. Please set a filename.",
     "Es wurde kein Dateiname zum Speichern der übersetzten Daten festgelegt. Bitte legen Sie "
     "einen Dateinamen fest."},
    {617, "No filename set", "Kein Dateiname festgelegt"},
    {618,
     "There was no program for opening the file set. Please set a program or use the option to "
     "open the associated file.",
     "Es wurde kein Programm zum Öffnen der Datei festgelegt. Bitte legen Sie ein Programm fest "
     "oder verwenden Sie die Option, die Datei mit dem verknüpften Programm zu öffnen."},
    {619, "No program set", "Kein Programm festgelegt"},
    {620, "The file already exists. Do you want to overwrite the file?",
     "Die Datei besteht bereits. Möchten Sie die Datei überschreiben?"},
    {621, "File already exists", "Datei existiert bereits"},
    {622,
     "The file cannot be accessed. Check the file name and whether the file may be "
     "write-protected.",
     "Auf die Datei kann nicht zugegriffen werden. Prüfen Sie den Dateinamen und ob die Datei "
     "eventuell schreibgeschützt ist."},
    {623, "No file access", "Kein Dateizugriff"},
    {624,
     "The text is too large for the translation service. Please split it up and translate the "
     "pieces one after the other.",
     "Der Text ist zu groß für den Übersetzungsdienst. Bitte teilen Sie ihn auf und übersetzen "
     "Sie die Teile nacheinander."},
    {625, "Text too large", "Text zu groß"},
    {626,
     "The settings file cannot hold a value with a line break. The value in the marked field "
     "was not taken; please correct it. The other settings have been applied and saved.",
     "Die Einstellungsdatei kann keinen Wert mit einem Zeilenumbruch aufnehmen. Der Wert im "
     "markierten Feld wurde nicht übernommen; bitte korrigieren Sie ihn. Die übrigen "
     "Einstellungen wurden übernommen und gespeichert."},
    {627, "Value not taken", "Wert nicht übernommen"},
    {628,
     "The name of the chosen file contains a line break, which the settings file cannot hold. "
     "Please choose a file whose name has none.",
     "Der Name der gewählten Datei enthält einen Zeilenumbruch, den die Einstellungsdatei nicht "
     "aufnehmen kann. Bitte wählen Sie eine Datei, deren Name keinen enthält."},
    {629, "File name not possible", "Dateiname nicht möglich"},

    // File dialogs of the translation to file.
    {700, "Save translated file as...", "Übersetzte Datei speichern unter..."},
    {701, "Text files (*.txt)|*.txt|Richtext files (*.rtf)|*.rtf|All files (*.*)|*.*",
     "Textdateien (*.txt)|*.txt|Rich-Text-Dateien (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*"},
    {702, "Choose program", "Programm auswählen"},
    {703, "Programs|*.exe;*.bat;*.pif;*.cmd;*.com|All files (*.*)|*.*",
     "Programme|*.exe;*.bat;*.pif;*.cmd;*.com|Alle Dateien (*.*)|*.*"},

    // parlumo-translate: why a text too large was refused before it was sent.
    {800,
     "Standard input holds more than %1, the most the translation service takes in one "
     "request; nothing was sent.",
     "Die Standardeingabe enthält mehr als %1; mehr nimmt der Übersetzungsdienst in einer "
     "Anfrage nicht an. Es wurde nichts gesendet."},
    {801,
     "The text, form-encoded as a request, takes more than %1, the most the translation "
     "service takes; nothing was sent.",
     "Der Text belegt als Anfrage formularkodiert mehr als %1; mehr nimmt der "
     "Übersetzungsdienst nicht an. Es wurde nichts gesendet."},

    // Caption of a translation.
    {900, "Translation", "Übersetzung"},
};

constexpr int kVersionLineKey = 302;

const TKeyText* Find(int key) {
  for (const TKeyText& entry : kKeyTexts) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

// "Parlumo", a line break, "Version <major>.<minor> (Build <build>) builded on <date>".
std::string VersionLine(bool german) {
  std::string line = "Parlumo\nVersion ";
  line += std::to_string(kVersionMajor);
  line += '.';
  line += std::to_string(kVersionMinor);
  line += " (Build ";
  line += std::to_string(kVersionBuild);
  line += german ? ") vom " : ") builded on ";
  line += kBuildDate;
  return line;
}

}  // namespace

std::string LanguageText(int language, int key) {
  const bool german = language == kUILanguageGerman;
  if (key == kVersionLineKey) return VersionLine(german);
  const TKeyText* entry = Find(key);
  if (entry == nullptr) return std::string(kNoTranslationResource);
  if (german && !entry->german.empty()) return std::string(entry->german);
  return std::string(entry->english);
}

}  // namespace parlumo
