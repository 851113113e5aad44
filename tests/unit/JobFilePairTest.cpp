#include "base/JobFilePair.h"

#include <gtest/gtest.h>

using dravelo::JobFilePair;

TEST(JobFilePair, OnlyALowerCasePcfEndingAnnouncesAJob) {
    EXPECT_TRUE(JobFilePair::isConfigurationFileName(QStringLiteral("job.pcf")));
    EXPECT_TRUE(JobFilePair::isConfigurationFileName(QStringLiteral(".hidden.pcf")));
    EXPECT_FALSE(JobFilePair::isConfigurationFileName(QStringLiteral("job.PCF")));
    EXPECT_FALSE(JobFilePair::isConfigurationFileName(QStringLiteral("job.pcf.tmp")));
    EXPECT_FALSE(JobFilePair::isConfigurationFileName(QStringLiteral("jobpcf")));
}

TEST(JobFilePair, TheExtensionOfTheLastComponentIsReplacedOrAppended) {
    EXPECT_EQ(JobFilePair::printDataPath(QStringLiteral("/h/.dravelo/a.pcf")),
              QStringLiteral("/h/.dravelo/a.ppf"));
    EXPECT_EQ(JobFilePair::printDataPath(QStringLiteral("/h/a.b.pcf")),
              QStringLiteral("/h/a.b.ppf"));
    EXPECT_EQ(JobFilePair::configurationPath(QStringLiteral("/h/job")),
              QStringLiteral("/h/job.pcf"));
    EXPECT_EQ(JobFilePair::configurationPath(QStringLiteral("/h.d/job")),
              QStringLiteral("/h.d/job.pcf"));
    EXPECT_EQ(JobFilePair::replacingExtension(QStringLiteral("/h/job.ppf"), QStringLiteral("pdf")),
              QStringLiteral("/h/job.pdf"));
}
