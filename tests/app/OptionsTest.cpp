#include <gtest/gtest.h>

#include "app/DownloaderOptions.h"

namespace {

DownloaderOptions Parse(const std::wstring& commandLine) {
    DownloaderOptions options;
    ParseDownloaderOptions(commandLine, options);
    return options;
}

TEST(ExtractTextOption, KeyMustStandAtStartOrAfterBlank) {
    std::wstring value;
    EXPECT_TRUE(ExtractTextOption(L"-silent='1'", L"-silent='", value));
    EXPECT_EQ(value, L"1");
    EXPECT_TRUE(ExtractTextOption(L"/s -silent='1'", L"-silent='", value));
    EXPECT_EQ(value, L"1");
    EXPECT_FALSE(ExtractTextOption(L"x-silent='1'", L"-silent='", value));
    EXPECT_FALSE(ExtractTextOption(L"/s\t-silent='1'", L"-silent='", value));
    // A rejected occurrence does not hide a later accepted one.
    EXPECT_TRUE(ExtractTextOption(L"x-silent='1' -silent='2'", L"-silent='", value));
    EXPECT_EQ(value, L"2");
}

TEST(ExtractTextOption, KeysAreCaseSensitiveAndNeedTheApostrophe) {
    std::wstring value = L"stale";
    EXPECT_FALSE(ExtractTextOption(L"-Silent='1'", L"-silent='", value));
    EXPECT_EQ(value, L"");
    EXPECT_FALSE(ExtractTextOption(L"-silent=1", L"-silent='", value));
    EXPECT_FALSE(ExtractTextOption(L"", L"-silent='", value));
}

TEST(ExtractTextOption, ValuesKeepBlanksAndDoubledApostrophes) {
    std::wstring value;
    EXPECT_TRUE(ExtractTextOption(L"-msiargs='/qn REBOOT=ReallySuppress'", L"-msiargs='", value));
    EXPECT_EQ(value, L"/qn REBOOT=ReallySuppress");
    EXPECT_TRUE(ExtractTextOption(L"-msiargs='it''s'", L"-msiargs='", value));
    EXPECT_EQ(value, L"it's");
    EXPECT_TRUE(ExtractTextOption(L"-msiargs=''''", L"-msiargs='", value));
    EXPECT_EQ(value, L"'");
    EXPECT_TRUE(ExtractTextOption(L"-msiargs=''", L"-msiargs='", value));
    EXPECT_EQ(value, L"");
}

TEST(ExtractTextOption, UnclosedValueCountsAsMissingButKeepsPartialText) {
    std::wstring value;
    EXPECT_FALSE(ExtractTextOption(L"-msiargs='abc", L"-msiargs='", value));
    EXPECT_EQ(value, L"");
    EXPECT_FALSE(ExtractTextOption(L"-msiargs='a''b", L"-msiargs='", value));
    EXPECT_EQ(value, L"a'");
    // A doubled apostrophe at the very end is no closing one.
    EXPECT_FALSE(ExtractTextOption(L"-msiargs='a''", L"-msiargs='", value));
}

TEST(ParseDownloaderOptions, ExampleFromTheManual) {
    const DownloaderOptions options = Parse(L"-silent='1' -msiargs='/qn PROP=''a b'''");
    EXPECT_EQ(options.silent, 1);
    EXPECT_EQ(options.msiArgs, L"/qn PROP='a b'");
    EXPECT_EQ(options.passive, 0);
    EXPECT_EQ(options.installBasic, 0);
    EXPECT_TRUE(options.language.empty());
    EXPECT_TRUE(options.installFromLocation.empty());
}

TEST(ParseDownloaderOptions, EmptyLineAndUnparsableValuesKeepDefaults) {
    DownloaderOptions options;
    options.silent = 7;
    ParseDownloaderOptions(L"", options);
    EXPECT_EQ(options.silent, 7);

    EXPECT_EQ(Parse(L"-silent='1").silent, 0);
    EXPECT_EQ(Parse(L"-passive=1").passive, 0);
    // An unclosed value runs on to the next apostrophe, wherever it stands.
    EXPECT_EQ(Parse(L"-silent='1 -passive=1 -installbasic='yes'").silent, 1);
    EXPECT_EQ(Parse(L"-installbasic='yes'").installBasic, 0);
    EXPECT_EQ(Parse(L"-installbasic='2'").installBasic, 2);
    EXPECT_EQ(Parse(L"-installbasic='  -3x'").installBasic, -3);
    EXPECT_EQ(Parse(L"-installbasic='+4'").installBasic, 4);
}

TEST(ParseDownloaderOptions, FirstAcceptedOccurrenceWinsAndKeysInsideValuesCount) {
    DownloaderOptions options = Parse(L"-language='de' -language='fr'");
    EXPECT_EQ(options.language, L"de");
    // A key after a blank inside another value is an option of its own.
    options = Parse(L"-msiargs='/qn -silent='1' tail'");
    EXPECT_EQ(options.silent, 1);
    EXPECT_EQ(options.msiArgs, L"/qn -silent=");
    // Without a blank before it, it is just text of the value.
    options = Parse(L"-msiargs='x-passive='1''");
    EXPECT_EQ(options.passive, 0);
}

TEST(ParseDownloaderOptions, HostileLines) {
    const std::wstring longValue(100000, L'a');
    DownloaderOptions options = Parse(L"-installfromloc='" + longValue + L"' -silent='1'");
    EXPECT_EQ(options.installFromLocation, longValue);
    EXPECT_EQ(options.silent, 1);

    std::wstring manyApostrophes = L"-msiargs='";
    for (int i = 0; i < 50001; ++i) manyApostrophes += L'\'';
    options = Parse(manyApostrophes);
    EXPECT_EQ(options.msiArgs, std::wstring(25000, L'\''));

    options = Parse(L"-installfromloc='C:\\Users\\Jürgen\\Téléchargements\\客户端.msi' -language='jp'");
    EXPECT_EQ(options.installFromLocation, L"C:\\Users\\Jürgen\\Téléchargements\\客户端.msi");
    EXPECT_EQ(options.language, L"jp");

    options = Parse(L"'''' -silent=' ''' '");
    EXPECT_EQ(options.silent, 0);

    options = Parse(L"-passive='99999999999999999999'");
    EXPECT_NE(options.passive, 0);
}

}  // namespace
