// The program's own string table, read back as the installer reads it, holds
// every catalogue text character for character, and no text besides them.
#include <windows.h>

#include <set>

#include <gtest/gtest.h>

#include "messages/Messages.h"
#include "tests/app/CatalogueTexts.h"

namespace {

constexpr int kStringsPerBlock = 16;  // a string-table resource holds 16 numbered texts

// Collects the numbers of the non-empty texts of one string-table block.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR numbers) {
  if (!IS_INTRESOURCE(name)) return TRUE;
  const int first = (static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) - 1) * kStringsPerBlock;
  for (int id = first; id < first + kStringsPerBlock; ++id)
    if (!LoadMessage(id).empty()) reinterpret_cast<std::set<int>*>(numbers)->insert(id);
  return TRUE;
}

TEST(Catalogue, StringTableHoldsExactlyTheCatalogueTexts) {
  std::set<int> catalogued;
  for (const CatalogueEntry& entry : kCatalogue) {
    EXPECT_EQ(LoadMessage(entry.id), entry.text) << "message " << entry.id;
    catalogued.insert(entry.id);
  }
  std::set<int> inTable;
  EnumResourceNamesW(nullptr, RT_STRING, CollectBlock, reinterpret_cast<LONG_PTR>(&inTable));
  EXPECT_FALSE(inTable.empty());
  for (int id : inTable) EXPECT_EQ(1u, catalogued.count(id)) << "text " << id << " is in no catalogue entry";
}

}  // namespace
