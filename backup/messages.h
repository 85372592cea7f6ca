#pragma once

// The window's messages of backups and restores, code page 932 templates
// whose "%s" are filled in order.
namespace kuv::backup_text {

extern const char* const kBackupDone;
extern const char* const kBackupCannotWrite;
extern const char* const kBackupCannotRead;
extern const char* const kBackupTooLarge;
extern const char* const kBackupChanged;
extern const char* const kBackupNoData;
extern const char* const kBackupCancelled;
extern const char* const kBackupLeftOut;
extern const char* const kArchiveWhole;
extern const char* const kCannotOpenArchive;
extern const char* const kDamaged;
extern const char* const kNotBackup;
extern const char* const kAbsolutePath;
extern const char* const kDotDot;
extern const char* const kLink;
extern const char* const kDevice;
extern const char* const kFifo;
extern const char* const kOtherType;
extern const char* const kMemberTooLarge;
extern const char* const kTooMany;
extern const char* const kDuplicate;
extern const char* const kNoManifest;
extern const char* const kMismatch;
extern const char* const kMissing;
extern const char* const kNotListed;
extern const char* const kNothingChanged;
extern const char* const kRestored;
extern const char* const kRestoredInto;
extern const char* const kSettingsKept;
extern const char* const kRestoreCancelled;
extern const char* const kCannotStage;
extern const char* const kCannotWriteStaged;
extern const char* const kCannotSwap;
extern const char* const kCannotSwapSettings;

}  // namespace kuv::backup_text
