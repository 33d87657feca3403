// The archive's exception and the numbered-message exception.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/QArchiveException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/Resources.h>

namespace qdat::test {
namespace {

// A message with both inserts, numbered far from the library's own texts.
const ResourceTable kTestTexts{{99001, "Cannot use %1 with %2."}};

TEST(ArchiveException, WithoutAnArchiveTheMessageIsTheDetailOnly) {
    const QArchiveException bare(QArchiveException::BadFormat);
    EXPECT_EQ(bare.m_cause, QArchiveException::BadFormat);
    EXPECT_STREQ(bare.what(), "");
    EXPECT_EQ(bare.GetErrorMessage(), "");
    EXPECT_EQ(bare.m_position, 0);
    EXPECT_EQ(bare.m_fileName, "");
    const QArchiveException detail(QArchiveException::GenericError, "widths out of order");
    EXPECT_EQ(detail.GetErrorMessage(), "widths out of order");
}

TEST(ArchiveException, EveryCauseNamesTheFile) {
    MemoryFile file(std::string("1\n2\n"), "/roads/r1.wid");
    DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete);
    ar >> EndRecord >> EndRecord;  // line 2
    for (auto cause :
         {QArchiveException::GenericError, QArchiveException::BadFormat, QArchiveException::EndOfFile,
          QArchiveException::ReadFailed, QArchiveException::WriteFailed}) {
        try {
            ar.ThrowError(cause);
        } catch (const std::runtime_error& e) {  // part of the standard hierarchy
            const auto* archiveError = dynamic_cast<const QArchiveException*>(&e);
            ASSERT_NE(archiveError, nullptr);
            EXPECT_EQ(archiveError->m_cause, cause);
            EXPECT_EQ(archiveError->m_fileName, "/roads/r1.wid");
            EXPECT_EQ(archiveError->m_position, 2);
            const std::string message = e.what();
            EXPECT_NE(message.find("/roads/r1.wid"), std::string::npos) << message;
            if (cause <= QArchiveException::EndOfFile) {
                EXPECT_NE(message.find("line 2"), std::string::npos) << message;
            }
        }
    }
}

TEST(ArchiveException, NumberedMessageWithInserts) {
    const QDLException both(99001, "alpha", "beta");
    EXPECT_EQ(both.m_nMessageId, 99001);
    EXPECT_EQ(both.m_strMessage, "Cannot use alpha with beta.");
    EXPECT_EQ(both.GetErrorMessage(), "Cannot use alpha with beta.");
    EXPECT_EQ(QDLException(99001, "alpha").m_strMessage, "Cannot use alpha with .");
    // Without a first insert the text is the general message 13.
    const QDLException none(99001);
    EXPECT_EQ(none.m_strMessage, LoadResourceString(13));
    EXPECT_FALSE(none.m_strMessage.empty());
    EXPECT_EQ(QDLException(99001, "", "beta").m_strMessage, LoadResourceString(13));

    try {
        ThrowDLException(99001, "x", "y");
        FAIL() << "nothing thrown";
    } catch (const QDLException& e) {
        EXPECT_EQ(e.m_nMessageId, 99001);
        EXPECT_STREQ(e.what(), "Cannot use x with y.");
    }
}

}  // namespace
}  // namespace qdat::test
