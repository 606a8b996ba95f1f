#pragma once

#include <string>

#include "translate/ServiceHosts.h"

namespace parlumo {

// The options of quick translation as the settings dialog's check boxes show
// them at this moment, applied or not.
struct TQuickOptions {
  bool showBalloonHint = true;    // cbShowBalloonHint
  bool notifyBalloonHint = true;  // cbNotifyBalloonHint
  bool translationMsgBox = true;  // cbTranslationMsgBox
  bool copyToClipboard = false;   // cbCopyToClipboard
};

// What translation to file reads: the two file names and the pair as last
// applied, the radio button and the check box as they stand.
struct TFileOptions {
  std::string saveAs;              // cSaveDialog's file name
  std::string program;             // cOpenDialog's file name
  bool startAssocProgram = true;   // rbStartAssocProgram selected
  bool overwriteWoPrompt = false;  // cbOverwritewoPrompt checked
  int filePair = 0;                // FilePair
};

// What the hotkey translations need of the main form that owns them. Every
// value is read at the moment of the hotkey.
class THotKeyHost {
 public:
  virtual ~THotKeyHost() = default;

  virtual TQuickOptions QuickOptions() const = 0;
  // QuickPair1 (hotkey 1) or QuickPair2 (hotkey 2) as stored or last applied.
  virtual int QuickPair(int hotkey) const = 0;
  // The selected position of cbQuickLang1 or cbQuickLang2; -1 without selection.
  virtual int QuickPairListPosition(int hotkey) const = 0;
  virtual TFileOptions FileOptions() const = 0;
  // 0 English, 1 German.
  virtual int UILanguage() const = 0;
  // Whether balloon hints can be shown now.
  virtual bool BalloonTipsAvailable() const = 0;
  virtual TServiceHosts Hosts() const = 0;
};

}  // namespace parlumo
