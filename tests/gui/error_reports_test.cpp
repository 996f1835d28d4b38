// The texts of the two error reports.
#include <gtest/gtest.h>

#include "shell/error_reports.h"

namespace {

using tavrin::StartupReportText;
using tavrin::WithApplicationFullStop;

TEST(ApplicationReport, AppendsAFullStopAfterACharacterAboveIt) {
  EXPECT_EQ(WithApplicationFullStop("ファイル a.txt は開けません"), "ファイル a.txt は開けません.");
  EXPECT_EQ(WithApplicationFullStop("plain text"), "plain text.");
  EXPECT_EQ(WithApplicationFullStop("code 7"), "code 7.");
  EXPECT_EQ(WithApplicationFullStop("value/"), "value/.");  // "/" is 2F
  // Characters at or below "." get nothing.
  EXPECT_EQ(WithApplicationFullStop("リストのインデックスが範囲を超えています (5)"),
            "リストのインデックスが範囲を超えています (5)");
  EXPECT_EQ(WithApplicationFullStop("done."), "done.");
  EXPECT_EQ(WithApplicationFullStop("stop!"), "stop!");
  EXPECT_EQ(WithApplicationFullStop("trailing "), "trailing ");
  EXPECT_EQ(WithApplicationFullStop("a-"), "a-");
  EXPECT_EQ(WithApplicationFullStop(""), "");
}

TEST(StartupReport, NamesKindModuleAndPlaceThenTheMessage) {
  EXPECT_EQ(StartupReportText("Error", "tavrin", 0x4A3F0, "HTML ビューを作成できません"),
            "Errorがモジュール tavrin の 0004A3F0 で発生しました。\n"
            "HTML ビューを作成できません.");
  // The start-up rule looks at the last byte only: anything but "." gets one.
  EXPECT_EQ(StartupReportText("E", "m", 0xFFFFFFFF, "(3)"),
            "Eがモジュール m の FFFFFFFF で発生しました。\n(3).");
  EXPECT_EQ(StartupReportText("E", "m", 0, "done."),
            "Eがモジュール m の 00000000 で発生しました。\ndone.");
  EXPECT_EQ(StartupReportText("E", "m", 0, ""), "Eがモジュール m の 00000000 で発生しました。\n");
}

}  // namespace
