// Built-in English texts of the document framework's numbered messages.
// Printf formats take exactly the arguments noted; a language file must keep them.
#include <qdat/host/Resources.h>

namespace qdat {
namespace {
const ResourceTable kDocbaseStrings{
    // (path) asked after opening a file whose rows are out of station order
    {9, "The file %s is not in station order.\nSort it now?"},
    // QDLException without a first insert
    {13, "An unexpected error occurred."},
    // (line number) prefix of an archive warning; the warning text follows a comma
    {22, "Line %d"},
    // (file path, position) a token, tag or record does not have the expected form
    {249, "Bad data in file %s at %s."},
    // (file path) causes 3 and 4 of an archive error
    {2000, "The file %s cannot be read."},
    {2001, "The file %s cannot be written."},
    // (file path, position) generic inconsistency and premature end of the data
    {2002, "Error in file %s at %s."},
    // (number) positions named in archive messages: text line or byte offset
    {2010, "line %lld"},
    {2011, "byte offset %lld"},
    // (file name) shown once per project for a file written by an older version
    {263, "The file %s was written by an older version.\nIt will be saved again in the current format."},
    // (file path, what was kept, position) after a read that stopped early without failing
    {2020,
     "The file %s was read only in part: %s were kept; reading stopped at %s.\n"
     "It is not saved over unless you choose to."},
    // (file path) asked before a save over a file that was read only in part
    {2021, "The file %s was read only in part. Saving over it loses the rest of it.\nSave over it?"},
    // (file path, count) after writing values with more decimals than their fields hold
    {2022,
     "%s: values with more decimal places than their fields hold were rounded to the last place, a half "
     "away from zero (%d in all)."},
};
}  // namespace
}  // namespace qdat
