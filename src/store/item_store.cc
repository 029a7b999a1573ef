#include "store/item_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <variant>

#include "support/ascii.h"
#include "support/pool_heap.h"

namespace r7k {

namespace {

std::string Key(std::string_view name) { return AsciiLower(name); }

using Value = std::variant<std::string, std::int64_t, std::vector<std::uint8_t>, Table>;

struct Item {
  std::string name;  // as first written
  Value value;
};

int TypeOf(const Value& value) {
  switch (value.index()) {
    case 0: return kItemString;
    case 1: return kItemNumeric;
    case 2: return kItemRaw;
    default: return kItemTable;
  }
}

std::string TextOf(const Value& value) {
  if (auto* s = std::get_if<std::string>(&value)) return *s;
  if (auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (auto* raw = std::get_if<std::vector<std::uint8_t>>(&value)) {
    auto end = std::find(raw->begin(), raw->end(), 0);
    return std::string(raw->begin(), end);
  }
  return {};
}

std::size_t CopyText(const std::string& text, char* buffer, std::size_t size) {
  if (!buffer || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n + 1;
}

}  // namespace

class Store {
 public:
  Store(std::string name, bool shared) : name_(std::move(name)), shared_(shared) {}

  const std::string& name() const { return name_; }
  bool shared() const { return shared_; }
  int refs_ = 1;  // guarded by the shared-store registry

  // Runs `read` over the item (nullptr when missing) under the data lock.
  template <typename Reader>
  auto Read(std::string_view item, Reader read) {
    std::lock_guard lock(mutex_);
    auto it = items_.find(Key(item));
    return read(it == items_.end() ? nullptr : &it->second.value);
  }

  // Runs `change` over the item's value slot (empty optional when missing; leaving it empty
  // deletes the item) and tells the advised windows when `change` says it changed something.
  template <typename Change>
  bool Modify(std::string_view item, Change change) {
    std::vector<WindowHandle> advised;
    std::uint8_t what = kAdviceSet;
    {
      std::lock_guard lock(mutex_);
      const std::string key = Key(item);
      auto it = items_.find(key);
      std::optional<Value> slot;
      if (it != items_.end()) slot = std::move(it->second.value);
      const bool existed = slot.has_value();
      const bool changed = change(slot);
      if (slot) {
        if (it == items_.end())
          items_.emplace(key, Item{std::string(item), std::move(*slot)});
        else
          it->second.value = std::move(*slot);
      } else if (it != items_.end()) {
        items_.erase(it);
        what = kAdviceDeleted;
      }
      if (!changed || (!existed && !slot)) return changed;
      advised = advised_;
    }
    Notify(advised, what, item);
    return true;
  }

  std::vector<std::string> Names() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& [key, item] : items_) names.push_back(item.name);
    return names;
  }

  bool Lock() {
    std::unique_lock lock(lock_mutex_);
    const auto me = CurrentThreadId();
    lock_free_.wait(lock, [&] { return owner_ == 0 || owner_ == me; });
    owner_ = me;
    ++depth_;
    return true;
  }

  bool Unlock() {
    std::lock_guard lock(lock_mutex_);
    if (owner_ != CurrentThreadId()) return false;
    if (--depth_ == 0) {
      owner_ = 0;
      lock_free_.notify_one();
    }
    return true;
  }

  void AddAdvice(WindowHandle window) {
    std::lock_guard lock(mutex_);
    if (std::find(advised_.begin(), advised_.end(), window) == advised_.end())
      advised_.push_back(window);
  }

  void RemoveAdvice(WindowHandle window) {
    std::lock_guard lock(mutex_);
    std::erase(advised_, window);
  }

 private:
  void Notify(const std::vector<WindowHandle>& windows, std::uint8_t what, std::string_view item) {
    if (windows.empty()) return;
    static const std::uint32_t advice = RegisterWindowMessageName(kAdviceMessageName);
    std::vector<std::uint8_t> block = {what, 0};
    block.insert(block.end(), item.begin(), item.end());
    block.push_back(0);
    for (WindowHandle window : windows)
      if (!PostWindowMessage(window, advice, 0, 0, block)) RemoveAdvice(window);
  }

  const std::string name_;
  const bool shared_;
  std::mutex mutex_;
  std::map<std::string, Item> items_;
  std::vector<WindowHandle> advised_;

  std::mutex lock_mutex_;
  std::condition_variable lock_free_;
  std::uint32_t owner_ = 0;
  int depth_ = 0;
};

namespace {

std::mutex shared_mutex;
std::map<std::string, Store*>& SharedStores() {
  static auto* stores = new std::map<std::string, Store*>;
  return *stores;
}

}  // namespace

StoreHandle StoreOpen(std::string_view name) { return new Store(std::string(name), false); }

StoreHandle StoreOpenShared(std::string_view name) {
  if (name.empty()) return nullptr;
  std::lock_guard lock(shared_mutex);
  Store*& store = SharedStores()[Key(name)];
  if (store)
    ++store->refs_;
  else
    store = new Store(std::string(name), true);
  return store;
}

void StoreClose(StoreHandle store) {
  if (!store) return;
  if (store->shared()) {
    std::lock_guard lock(shared_mutex);
    if (--store->refs_ > 0) return;
    SharedStores().erase(Key(store->name()));
  }
  delete store;
}

std::string StoreName(StoreHandle store) { return store ? store->name() : std::string(); }

int StoreGetType(StoreHandle store, std::string_view item) {
  if (!store) return kItemNone;
  return store->Read(item, [](const Value* v) { return v ? TypeOf(*v) : int{kItemNone}; });
}

std::vector<std::string> StoreItemNames(StoreHandle store) {
  return store ? store->Names() : std::vector<std::string>{};
}

std::optional<std::string> StoreGetString(StoreHandle store, std::string_view item) {
  if (!store) return std::nullopt;
  return store->Read(item, [](const Value* v) -> std::optional<std::string> {
    if (!v || std::holds_alternative<Table>(*v)) return std::nullopt;
    return TextOf(*v);
  });
}

std::size_t StoreGetString(StoreHandle store, std::string_view item, char* buffer,
                           std::size_t size) {
  auto text = StoreGetString(store, item);
  return text ? CopyText(*text, buffer, size) : 0;
}

bool StoreSetString(StoreHandle store, std::string_view item, std::string_view text) {
  if (!store) return false;
  return store->Modify(item, [&](std::optional<Value>& slot) {
    slot = std::string(text);
    return true;
  });
}

std::int64_t StoreGetNumeric(StoreHandle store, std::string_view item) {
  if (!store) return 0;
  return store->Read(item, [](const Value* v) -> std::int64_t {
    if (!v) return 0;
    if (auto* n = std::get_if<std::int64_t>(v)) return *n;
    if (auto* s = std::get_if<std::string>(v)) return std::strtoll(s->c_str(), nullptr, 10);
    return 0;
  });
}

bool StoreSetNumeric(StoreHandle store, std::string_view item, std::int64_t value) {
  if (!store) return false;
  return store->Modify(item, [&](std::optional<Value>& slot) {
    slot = value;
    return true;
  });
}

std::optional<std::vector<std::uint8_t>> StoreGetItem(StoreHandle store, std::string_view item) {
  if (!store) return std::nullopt;
  return store->Read(item, [](const Value* v) -> std::optional<std::vector<std::uint8_t>> {
    if (!v) return std::nullopt;
    if (auto* raw = std::get_if<std::vector<std::uint8_t>>(v)) return *raw;
    if (std::holds_alternative<Table>(*v)) return std::nullopt;
    std::string text = TextOf(*v);
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
  });
}

std::size_t StoreGetItem(StoreHandle store, std::string_view item, void* buffer, std::size_t size) {
  auto bytes = StoreGetItem(store, item);
  if (!bytes) return 0;
  if (!buffer) return bytes->size();
  const std::size_t n = std::min(bytes->size(), size);
  if (n) std::memcpy(buffer, bytes->data(), n);
  return n;
}

bool StoreSetItem(StoreHandle store, std::string_view item, const void* data, std::size_t size) {
  if (!store || (!data && size > 0)) return false;
  if (!data) return StoreDeleteItem(store, item);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return store->Modify(item, [&](std::optional<Value>& slot) {
    slot = std::vector<std::uint8_t>(bytes, bytes + size);
    return true;
  });
}

bool StoreDeleteItem(StoreHandle store, std::string_view item) {
  if (!store) return false;
  return store->Modify(item, [](std::optional<Value>& slot) {
    const bool existed = slot.has_value();
    slot.reset();
    return existed;
  });
}

TableHandle StoreGetTable(StoreHandle store, std::string_view item) {
  if (!store) return nullptr;
  return store->Read(item, [](const Value* v) -> TableHandle {
    auto* t = v ? std::get_if<Table>(v) : nullptr;
    return t ? new Table(*t) : nullptr;
  });
}

bool StoreSetTable(StoreHandle store, std::string_view item, TableHandle table) {
  if (!store || !table) return false;
  return store->Modify(item, [&](std::optional<Value>& slot) {
    slot = *table;
    return true;
  });
}

std::optional<std::vector<std::string>> StoreTableGetRow(StoreHandle store, std::string_view item,
                                                         int row) {
  if (!store) return std::nullopt;
  return store->Read(item, [&](const Value* v) -> std::optional<std::vector<std::string>> {
    auto* t = v ? std::get_if<Table>(v) : nullptr;
    if (!t) return std::nullopt;
    if (row == kRowNames) return t->names;
    if (row < 0 || static_cast<std::size_t>(row) >= t->rows.size()) return std::nullopt;
    return t->rows[row];
  });
}

std::size_t StoreTableGetRow(StoreHandle store, std::string_view item, int row, void* buffer,
                             std::size_t size) {
  auto cells = StoreTableGetRow(store, item, row);
  if (!cells) return 0;
  const auto bytes = JoinRowCells(*cells);
  if (!buffer) return bytes.size();
  if (size < bytes.size()) return 0;
  std::memcpy(buffer, bytes.data(), bytes.size());
  return bytes.size();
}

int StoreTableRowCount(StoreHandle store, std::string_view item) {
  if (!store) return 0;
  return store->Read(item, [](const Value* v) {
    auto* t = v ? std::get_if<Table>(v) : nullptr;
    return t ? TableRows(t) : 0;
  });
}

bool StoreTableSetSelection(StoreHandle store, std::string_view item, int row) {
  if (!store) return false;
  return store->Modify(item, [&](std::optional<Value>& slot) {
    auto* t = slot ? std::get_if<Table>(&*slot) : nullptr;
    return t && TableWriteSelection(t, row);
  });
}

bool StoreTableSelectionToItems(StoreHandle store, std::string_view item, std::size_t limit) {
  TableHandle table = StoreGetTable(store, item);
  if (!table) return false;
  const int row = TableReadSelection(table);
  for (int column = 0; column < TableCols(table); ++column) {
    const auto name = TableCell(table, kRowNames, column);
    if (!name || name->empty()) continue;
    const auto cell = row >= 0 ? TableCell(table, row, column) : std::nullopt;
    if (cell)
      StoreSetString(store, *name, cell->substr(0, limit));
    else
      StoreDeleteItem(store, *name);
  }
  TableFree(table);
  return true;
}

int StoreTableFindField(StoreHandle store, std::string_view item, const char* text,
                        std::size_t length, int column, int start_row) {
  if (!store) return -1;
  return store->Read(item, [&](const Value* v) {
    auto* t = v ? std::get_if<Table>(v) : nullptr;
    return t ? TableFindField(t, text, length, column, start_row) : -1;
  });
}

bool StoreLock(StoreHandle store) { return store && store->Lock(); }

bool StoreUnlock(StoreHandle store) { return store && store->Unlock(); }

int StoreRequestAdvice(StoreHandle store, WindowHandle window, int mode) {
  if (!store || mode != 1 || !IsMessageWindow(window)) return 0;
  store->AddAdvice(window);
  return 1;
}

void StoreCancelAdvice(StoreHandle store, WindowHandle window) {
  if (store) store->RemoveAdvice(window);
}

std::string AdviceItemName(const std::vector<std::uint8_t>& block) {
  if (block.size() <= kAdviceNameOffset) return {};
  auto begin = block.begin() + kAdviceNameOffset;
  auto end = std::find(begin, block.end(), 0);
  return std::string(begin, end);
}

void* StoreAlloc(std::size_t size) { return PoolAllocHere(size ? size : 1); }

void StoreFree(void* block) { R7K_POOL_FREE(block); }

}  // namespace r7k
