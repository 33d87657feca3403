// Numbers of the project module's resource strings. The built-in English
// texts are registered in ProjectStrings.cpp.
#pragma once

namespace qdat::project_strings {

// The project file's document-type string.
inline constexpr int kProjectFileType = 5;

// Section names of the project file; each holds "[" and differs from the others.
inline constexpr int kFilesSection = 100;
inline constexpr int kGlobalSection = 200;
inline constexpr int kFirstSegmentSection = 300;  // segment 0
inline constexpr int kMoreSegmentSections = 391;  // segments 1 to 8: 391 to 398
inline constexpr int kChainTableSection = 400;    // also the name of key group 0x7003
inline constexpr int kIntegerSection = 997;
inline constexpr int kRealSection = 998;
inline constexpr int kTextSection = 999;

// Names of the setting keys whose own number is taken by another text.
inline constexpr int kStartStationKeyName = 128;  // key 212
inline constexpr int kEndStationKeyName = 129;    // key 213

// Names of the key groups 0x7001, 0x7002 and 0xF001 to 0xF004.
inline constexpr int kGlobalGroupName = 126;
inline constexpr int kMoreGlobalGroupName = 127;
inline constexpr int kFirstSegmentGroupName = 135;

// Names of the data-type groups 0x8001 to 0x8004: 3001 to 3004.
inline constexpr int kFirstDataTypeGroupName = 3001;

// The station precision of a project that names none.
inline constexpr int kDefaultStationPrecision = 257;

// (cabinet path) the backup is complete
inline constexpr int kBackupDone = 2003;
// the data files of the project were upgraded
inline constexpr int kUpgradeDone = 2004;
// (cabinet path, reason) the backup failed; no cabinet is left
inline constexpr int kBackupFailed = 2040;
// (reason) the upgrade did not start: the project was read only in part, or the backup failed
inline constexpr int kUpgradeNotStarted = 2041;
// (list of files) data files that were left as they were
inline constexpr int kUpgradeLeftAlone = 2042;
// (path) a stored path of a Windows drive cannot be opened here
inline constexpr int kDrivePathNotHere = 2043;
// (path) asked before a modified document of the project is saved with it
inline constexpr int kSaveEntryDocument = 2044;
// (list of files) files the project names that the backup did not pack
inline constexpr int kBackupLeftOut = 2047;

}  // namespace qdat::project_strings
