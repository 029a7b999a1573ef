#include "store/item_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace r7k {
namespace {

using namespace std::chrono_literals;

class ItemStore : public ::testing::Test {
 protected:
  void TearDown() override { StoreClose(store_); }
  StoreHandle store_ = StoreOpen("appmain:Perm");
};

TEST_F(ItemStore, StringsAreDeliveredWithTheirZeroAndNamesIgnoreCase) {
  char buf[8];
  EXPECT_EQ(StoreGetType(store_, "Port1"), kItemNone);
  EXPECT_EQ(StoreGetString(store_, "Port1", buf, sizeof buf), 0u);
  EXPECT_TRUE(StoreSetString(store_, "Port1", "ttyUSB0"));
  EXPECT_EQ(StoreGetType(store_, "port1"), kItemString);
  EXPECT_EQ(StoreGetString(store_, "PORT1", buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "ttyUSB0");
  EXPECT_EQ(StoreGetString(store_, "Port1", buf, 4), 4u);  // cut to fit, still terminated
  EXPECT_STREQ(buf, "tty");
  StoreSetString(store_, "_Status", "");
  EXPECT_EQ(StoreGetString(store_, "_status", buf, sizeof buf), 1u);
  EXPECT_EQ(StoreGetString(store_, "_Status"), "");
  EXPECT_EQ(StoreGetString(store_, "missing"), std::nullopt);
  // The first spelling names the item.
  StoreSetString(store_, "PORT1", "pts/4");
  EXPECT_EQ(StoreItemNames(store_), (std::vector<std::string>{"_Status", "Port1"}));
}

TEST_F(ItemStore, NumericReadsAcceptStrings) {
  EXPECT_EQ(StoreGetNumeric(store_, "Idle"), 0);
  StoreSetNumeric(store_, "Idle", 1);
  EXPECT_EQ(StoreGetType(store_, "Idle"), kItemNumeric);
  EXPECT_EQ(StoreGetNumeric(store_, "idle"), 1);
  EXPECT_EQ(StoreGetString(store_, "Idle"), "1");
  StoreSetString(store_, "ShowPrintDialog", "1");
  EXPECT_EQ(StoreGetNumeric(store_, "showprintdialog"), 1);
  StoreSetString(store_, "t_Size", " 201 rows");
  EXPECT_EQ(StoreGetNumeric(store_, "t_size"), 201);
  StoreSetString(store_, "Name", "T0001");
  EXPECT_EQ(StoreGetNumeric(store_, "Name"), 0);
  StoreSetNumeric(store_, "Big", -5'000'000'000);
  EXPECT_EQ(StoreGetNumeric(store_, "Big"), -5'000'000'000);
}

TEST_F(ItemStore, RawItemsAndDeletion) {
  const std::uint8_t record[6] = {1, 0, 2, 0, 0xFF, 7};
  EXPECT_TRUE(StoreSetItem(store_, "R7P", record, sizeof record));
  EXPECT_EQ(StoreGetType(store_, "r7p"), kItemRaw);
  EXPECT_EQ(StoreGetItem(store_, "R7P", nullptr, 0), 6u);
  std::uint8_t out[4] = {};
  EXPECT_EQ(StoreGetItem(store_, "R7P", out, sizeof out), 4u);
  EXPECT_EQ(out[2], 2);
  EXPECT_EQ(StoreGetItem(store_, "R7P"), std::vector<std::uint8_t>(record, record + 6));
  EXPECT_FALSE(StoreSetItem(store_, "R7P", nullptr, 3));  // no data with a size: refused
  EXPECT_EQ(StoreGetType(store_, "R7P"), kItemRaw);
  EXPECT_TRUE(StoreSetItem(store_, "R7P", nullptr, 0));  // no data: deleted
  EXPECT_EQ(StoreGetType(store_, "R7P"), kItemNone);
  StoreSetString(store_, "CmdTable", "x");
  EXPECT_TRUE(StoreDeleteItem(store_, "cmdtable"));
  EXPECT_FALSE(StoreDeleteItem(store_, "cmdtable"));
  EXPECT_EQ(StoreGetType(store_, "CmdTable"), kItemNone);
}

TEST_F(ItemStore, TablesAreCopiedInAndOut) {
  TableHandle t = TableNew(2, 0);
  TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Port", "Description"});
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"Simple", ""});
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"ttyUSB0", "R7000Link"});
  EXPECT_TRUE(StoreSetTable(store_, "Ports", t));
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"later", ""});  // the store kept a copy
  TableFree(t);
  EXPECT_EQ(StoreGetType(store_, "ports"), kItemTable);
  EXPECT_EQ(StoreTableRowCount(store_, "Ports"), 2);
  EXPECT_EQ(StoreTableGetRow(store_, "Ports", 1, nullptr, 0), 18u);  // "ttyUSB0\0R7000Link\0"
  char row[18];
  EXPECT_EQ(StoreTableGetRow(store_, "Ports", 1, row, 10), 0u);  // too small: nothing
  EXPECT_EQ(StoreTableGetRow(store_, "Ports", 1, row, sizeof row), 18u);
  EXPECT_EQ(std::memcmp(row, "ttyUSB0\0R7000Link\0", 18), 0);
  EXPECT_EQ(StoreTableGetRow(store_, "Ports", kRowNames),
            (std::vector<std::string>{"Port", "Description"}));
  EXPECT_EQ(StoreTableGetRow(store_, "Ports", 2), std::nullopt);
  EXPECT_EQ(StoreTableFindField(store_, "Ports", "TTYUSB0", 7, 0, 0), 1);
  EXPECT_EQ(StoreTableFindField(store_, "Ports", "ttyUSB1", 7, 0, 0), -1);
  EXPECT_TRUE(StoreTableSetSelection(store_, "Ports", 1));
  TableHandle copy = StoreGetTable(store_, "Ports");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(TableReadSelection(copy), 1);
  EXPECT_EQ(TableRows(copy), 2);
  TableFree(copy);
  EXPECT_EQ(StoreGetTable(store_, "missing"), nullptr);
  StoreSetString(store_, "text", "x");
  EXPECT_EQ(StoreGetTable(store_, "text"), nullptr);
  EXPECT_EQ(StoreTableRowCount(store_, "text"), 0);
}

TEST(SharedStore, EveryOpenerOfANameSharesOneStore) {
  StoreHandle a = StoreOpenShared("DsbMsgSharedColl");
  StoreHandle b = StoreOpenShared("dsbmsgsharedcoll");
  EXPECT_EQ(a, b);
  StoreSetString(a, "Thread3", "R7kProg");
  StoreHandle other = nullptr;
  std::thread([&] { other = StoreOpenShared("DsbMsgSharedColl"); }).join();
  EXPECT_EQ(other, a);
  EXPECT_EQ(StoreGetString(other, "thread3"), "R7kProg");
  StoreClose(other);
  StoreClose(b);
  EXPECT_EQ(StoreGetString(a, "Thread3"), "R7kProg");  // still open once
  StoreClose(a);
  StoreHandle fresh = StoreOpenShared("DsbMsgSharedColl");
  EXPECT_EQ(StoreGetType(fresh, "Thread3"), kItemNone);  // the last close ended it
  StoreClose(fresh);
  // Private stores never share.
  StoreHandle p1 = StoreOpen("appmain:Perm");
  StoreHandle p2 = StoreOpen("appmain:Perm");
  EXPECT_NE(p1, p2);
  StoreClose(p1);
  StoreClose(p2);
  EXPECT_EQ(StoreOpenShared(""), nullptr);
}

TEST(StoreLocking, ReadModifyWriteUnderTheLockLosesNoUpdate) {
  StoreHandle store = StoreOpenShared("LockTest");
  constexpr int kThreads = 4;
  constexpr int kEach = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([] {
      StoreHandle mine = StoreOpenShared("LockTest");
      for (int i = 0; i < kEach; ++i) {
        StoreLock(mine);
        StoreLock(mine);  // the owner may lock again
        const auto n = StoreGetNumeric(mine, "count");
        StoreSetNumeric(mine, "Count", n + 1);
        StoreUnlock(mine);
        StoreUnlock(mine);
      }
      StoreClose(mine);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(StoreGetNumeric(store, "count"), kThreads * kEach);
  StoreClose(store);
}

TEST(StoreLocking, OnlyTheOwnerUnlocks) {
  StoreHandle store = StoreOpen("x");
  EXPECT_FALSE(StoreUnlock(store));
  StoreLock(store);
  bool other_unlocked = true;
  std::atomic<bool> other_got_lock{false};
  std::thread other([&] {
    other_unlocked = StoreUnlock(store);
    StoreLock(store);
    other_got_lock = true;
    StoreUnlock(store);
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(other_got_lock.load());
  EXPECT_TRUE(StoreUnlock(store));
  other.join();
  EXPECT_FALSE(other_unlocked);
  EXPECT_TRUE(other_got_lock.load());
  StoreClose(store);
}

TEST(StoreAdvice, EachChangePostsTheItemNameFromTheThirdByte) {
  StoreHandle store = StoreOpenShared("DsbMsgAdviceColl");
  WindowHandle window = CreateMessageWindow();
  EXPECT_EQ(StoreRequestAdvice(store, 999999, 1), 0);  // no such window
  ASSERT_NE(StoreRequestAdvice(store, window, 1), 0);
  const auto advice = RegisterWindowMessageName("Coll_Advice");

  StoreSetNumeric(store, "R7P", 1);
  std::thread([] {
    StoreHandle s = StoreOpenShared("DsbMsgAdviceColl");
    StoreSetNumeric(s, "R7kProg", 1);
    StoreClose(s);
  }).join();
  StoreDeleteItem(store, "R7P");
  StoreDeleteItem(store, "R7P");  // nothing changed: no advice

  std::vector<std::string> names;
  std::vector<int> changes;
  while (auto m = GetWindowMessage(window, 0ms)) {
    EXPECT_EQ(m->message, advice);
    ASSERT_GT(m->data.size(), 2u);
    names.push_back(reinterpret_cast<const char*>(m->data.data() + 2));
    changes.push_back(m->data[0]);
    EXPECT_EQ(AdviceItemName(m->data), names.back());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"R7P", "R7kProg", "R7P"}));
  EXPECT_EQ(changes, (std::vector<int>{kAdviceSet, kAdviceSet, kAdviceDeleted}));

  DestroyMessageWindow(window);
  StoreSetNumeric(store, "R7P", 2);  // a gone window is dropped quietly
  StoreClose(store);
  EXPECT_EQ(AdviceItemName({1, 0}), "");
  EXPECT_EQ(AdviceItemName({1, 0, 'a', 'b'}), "ab");  // unterminated: stays in the block
}

TEST(StoreMemory, BlocksMayBeFreedByAnotherThread) {
  auto* block = static_cast<std::uint8_t*>(StoreAlloc(16 + 8));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 0);  // cleared
  std::memcpy(block + 16, "_Cancel_", 8);
  std::thread([block] { StoreFree(block); }).join();
  StoreFree(nullptr);
}

TEST(StoreConcurrency, WritersAndReadersOnManyItems) {
  StoreHandle store = StoreOpenShared("Busy");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, store] {
      const std::string item = "item" + std::to_string(t);
      for (int i = 0; i < 500; ++i) {
        StoreSetString(store, item, std::to_string(i));
        TableHandle table = TableNew(1, 0);
        TableWriteRow(table, kRowAppend, std::vector<std::string>{std::to_string(i)});
        StoreSetTable(store, "shared_table", table);
        TableFree(table);
        TableHandle copy = StoreGetTable(store, "SHARED_TABLE");
        EXPECT_EQ(TableRows(copy), 1);
        TableFree(copy);
        EXPECT_EQ(StoreGetNumeric(store, item), i);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(StoreItemNames(store).size(), 5u);
  StoreClose(store);
}

}  // namespace
}  // namespace r7k
