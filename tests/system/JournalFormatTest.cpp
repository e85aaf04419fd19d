// The installation journal's file format: what a crash can leave of it (a line
// cut anywhere, a changed byte) is read up to the last sound line, and the
// recovery plan undoes the sound records backwards, each once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "system/JournalFormat.h"

namespace {

using journal::Kind;
using journal::Record;

std::string Serialize(const std::vector<Record>& records) {
  std::string bytes;
  for (const auto& r : records) bytes += journal::SerializeRecord(r);
  return bytes;
}

const std::vector<Record> kSample = {
    {Kind::Header, {journal::kVersion, "夜空 デモ"}},
    {Kind::MovedAside, {"C:\\W\\S\\夜空 デモ.scr", "C:\\W\\S\\夜空 デモ.scr~lvold"}},
    {Kind::CreatedFolder, {"C:\\W\\S\\夜空 デモ dir\\"}},
    {Kind::ProfileValue, {"system.ini", "boot", "SCRNSAVE.EXE", "1", "tab\there 100% \r\nnext"}},
    {Kind::RegistryValue, {"HKLM", "Software\\X", "DisplayName", "0", ""}}};

// A crash can cut the file at any byte: the complete lines before the cut read
// back unchanged whatever their fields hold, nothing of the cut line does.
TEST(JournalFormat, CutAnywhereKeepsTheCompleteLinesUnchanged) {
  const std::string bytes = Serialize(kSample);
  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    const std::string part = bytes.substr(0, cut);
    const journal::Contents read = journal::ParseJournal(part);
    const std::size_t lines = static_cast<std::size_t>(std::count(part.begin(), part.end(), '\n'));
    ASSERT_EQ(read.records.size(), lines) << "cut at " << cut;
    EXPECT_EQ(read.damaged, cut > 0 && part.back() != '\n') << "cut at " << cut;
    EXPECT_EQ(read.soundBytes, lines == 0 ? 0 : part.rfind('\n') + 1);
    for (std::size_t i = 0; i < lines; ++i) EXPECT_EQ(read.records[i].fields, kSample[i].fields);
  }
  EXPECT_EQ(journal::ParseJournal(bytes).saverName, "夜空 デモ");
  // A changed byte fails its line's seal; nothing after that line is trusted.
  std::string changed = bytes;
  changed[bytes.find(" dir")] ^= 0x01;  // in the third line
  EXPECT_EQ(journal::ParseJournal(changed).records.size(), 2u);
  // Another version is not ours: nothing to act on.
  const std::string foreign = journal::SerializeRecord({Kind::Header, {"9", "x"}});
  EXPECT_TRUE(journal::PlanRecovery(journal::ParseJournal(foreign + bytes.substr(bytes.find('\n') + 1))).steps.empty());
}

TEST(JournalFormat, UndoRunsBackwardsOnceAndACommittedJournalOnlyDropsTheSetAsideCopies) {
  auto records = kSample;
  EXPECT_EQ(journal::PlanRecovery(journal::ParseJournal(Serialize(records))).steps,
            (std::vector<std::size_t>{4, 3, 2, 1}));
  // Ended during the undo: what was undone is not undone again.
  records.push_back({Kind::Undone, {"4"}});
  records.push_back({Kind::Undone, {"3"}});
  EXPECT_EQ(journal::PlanRecovery(journal::ParseJournal(Serialize(records))).steps,
            (std::vector<std::size_t>{2, 1}));
  records.push_back({Kind::Committed, {}});
  const journal::Plan plan = journal::PlanRecovery(journal::ParseJournal(Serialize(records)));
  EXPECT_TRUE(plan.committed);
  EXPECT_EQ(plan.steps, (std::vector<std::size_t>{1}));
}

}  // namespace
