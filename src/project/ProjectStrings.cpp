// Built-in English texts of the project module's resource strings.
// Printf formats take exactly the arguments noted; a language file must keep them.
#include <qdat/project/detail/ProjectStrings.h>

#include <qdat/host/Resources.h>

namespace qdat {
namespace {

const ResourceTable kProjectStrings{
    // Section names: written as the name followed by the section's number
    {100, "[Files]"},
    {200, "[Settings]"},
    {300, "[Segment 0]"},
    {391, "[Segment 1]"},
    {392, "[Segment 2]"},
    {393, "[Segment 3]"},
    {394, "[Segment 4]"},
    {395, "[Segment 5]"},
    {396, "[Segment 6]"},
    {397, "[Segment 7]"},
    {398, "[Segment 8]"},
    {400, "[Chain table]"},
    {997, "[Integers]"},
    {998, "[Reals]"},
    {999, "[Texts]"},
    // Key names, written after the key's number; never starting with a digit
    {201, "Project name"},
    {202, "Global setting 202"},
    {203, "Chain prefix"},
    {204, "Station precision"},
    {205, "Global setting 205"},
    {206, "Global setting 206"},
    {207, "Global setting 207"},
    {208, "Global setting 208"},
    {209, "Global setting 209"},
    {210, "Global setting 210"},
    {211, "Global setting 211"},
    {128, "Start station"},
    {129, "End station"},
    {251, "Global setting 251"},
    {252, "Global setting 252"},
    {253, "Global setting 253"},
    {254, "Global setting 254"},
    {255, "Global setting 255"},
    {301, "Segment start"},
    {302, "Segment end"},
    {303, "Segment setting 303"},
    {304, "Segment setting 304"},
    {305, "Segment setting 305"},
    {306, "Segment setting 306"},
    {307, "Segment setting 307"},
    {308, "Segment setting 308"},
    {309, "Segment setting 309"},
    {310, "Segment setting 310"},
    {311, "Segment setting 311"},
    {312, "Segment setting 312"},
    {313, "Segment setting 313"},
    {314, "Segment setting 314"},
    {315, "Segment setting 315"},
    {316, "Segment setting 316"},
    {401, "Chain break 1"},
    {402, "Chain break 2"},
    {403, "Chain break 3"},
    {404, "Chain break 4"},
    {405, "Chain break 5"},
    {406, "Chain break 6"},
    {407, "Chain break 7"},
    {408, "Chain break 8"},
    {409, "Chain break 9"},
    {410, "Chain break 10"},
    {411, "Chain break 11"},
    {412, "Chain break 12"},
    {413, "Chain break 13"},
    {414, "Chain break 14"},
    {415, "Chain break 15"},
    {416, "Chain break 16"},
    {417, "Chain break 17"},
    {418, "Chain break 18"},
    {419, "Chain break 19"},
    {420, "Chain break 20"},
    {421, "Chain break 21"},
    {422, "Chain break 22"},
    {423, "Chain break 23"},
    {424, "Chain break 24"},
    {425, "Chain break 25"},
    // Key groups
    {126, "General settings"},
    {127, "Further settings"},
    {135, "Segment stations"},
    {136, "Segment settings 2"},
    {137, "Segment settings 3"},
    {138, "Segment settings 4"},
    // Data-type groups
    {3001, "Alignment"},
    {3002, "Design data"},
    {3003, "Ground data"},
    {3004, "Cross-sections and earthwork"},
    // The station precision of a project whose key 204 is empty
    {project_strings::kDefaultStationPrecision, "3"},
    // (cabinet path)
    {project_strings::kBackupDone, "The project was backed up into %s."},
    {project_strings::kUpgradeDone, "The data files of the project are in the current version."},
    // (cabinet path, reason)
    {project_strings::kBackupFailed, "The project was not backed up into %s: %s"},
    // (reason)
    {project_strings::kUpgradeNotStarted, "The data files of the project were not upgraded:\n%s"},
    // (one file a line, each with what kept it)
    {project_strings::kUpgradeLeftAlone, "These data files were left as they were:\n%s"},
    // (stored path)
    {project_strings::kDrivePathNotHere,
     "The file %s lies on a Windows drive; it cannot be found on this computer."},
    // (path)
    {project_strings::kSaveEntryDocument, "Save the changes to %s?"},
    // (one file a line, each with why)
    {project_strings::kBackupLeftOut, "These files the project names are not in the backup:\n%s"},
};

}  // namespace
}  // namespace qdat
