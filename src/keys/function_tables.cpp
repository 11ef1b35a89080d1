#include "keys/function_tables.h"

#include <algorithm>

namespace talvo::keys {

const FunctionTableEntry* FindRow(const FunctionTable& table, uint8_t p1, uint8_t p2) {
  const auto it = std::find_if(table.rows.begin(), table.rows.end(), [&](const FunctionTableEntry& row) {
    return row.p1 == p1 && (table.match == RowMatch::P1Only || row.p2 == p2);
  });
  return it == table.rows.end() ? nullptr : &*it;
}

const KeyCodeRow* FindKeyCodeRowByVk(uint16_t vk) {
  const auto it = std::find_if(KeyCodeTable.begin(), KeyCodeTable.end(),
                               [&](const KeyCodeRow& row) { return row.vk == vk; });
  return it == KeyCodeTable.end() ? nullptr : &*it;
}

const KeyCodeRow* FindKeyCodeRow(uint8_t p1, uint8_t p2) {
  const auto it = std::find_if(KeyCodeTable.begin(), KeyCodeTable.end(),
                               [&](const KeyCodeRow& row) { return row.p1 == p1 && row.p2 == p2; });
  return it == KeyCodeTable.end() ? nullptr : &*it;
}

const KeyCodeRow* FindKeyCodeRow(KeyFunction function) {
  const auto it = std::find_if(KeyCodeTable.begin(), KeyCodeTable.end(),
                               [&](const KeyCodeRow& row) { return row.Function() == function; });
  return it == KeyCodeTable.end() ? nullptr : &*it;
}

}  // namespace talvo::keys
