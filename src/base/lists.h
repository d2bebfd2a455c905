// Delimited lists: a string whose first character is its item delimiter and
// which, when well formed, ends with it ("|a|b|" holds a and b). Items are
// counted from 0. Key=value lists hold items of the form key=value.
// Pure string functions without state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Number of delimiters after the first character; 0 unless the list is at
// least 2 long and its last character equals its first.
int ListCount(const std::string& list);

// Item `index` (-1: the last item closed by a delimiter). `def` when the list
// is empty, the index is out of range or the item is empty. Only items closed
// by a delimiter count: in "|a|b" only a is an item.
std::string ListItem(const std::string& list, int index, const std::string& def = "");

// ListItem read as a decimal 64-bit integer (optional leading blanks and
// sign); `def` when absent or not a number.
int64_t ListItemInt64(const std::string& list, int index, int64_t def);

// Value of `key` in a key=value list, keys matched ignoring case and only at
// the start of an item ("s1" never matches "s10=..."); the first of several
// equal keys wins. Blanks after a delimiter (one) and before "=" (all) are
// ignored, so "|x = 5|" gives " 5". `def` when the key is absent or the list
// malformed, `emptyValue` when the key is present with an empty value.
std::string ListValue(const std::string& list, const std::string& key, const std::string& def = "",
                      const std::string& emptyValue = "");

// Index of the first item equal to `item` ignoring case (the item is tried as
// given and trimmed); with `prefixOnly`, of the first item starting with it.
int ListIndexOf(const std::string& list, const std::string& item, int def = -1, bool prefixOnly = false);

// Whether delimiter + item + delimiter occurs in the list.
bool ListContains(const std::string& list, const std::string& item, bool trim = false,
                  bool ignoreCase = false);

// Normalised lists of the parts before / after the first "=" of each item (an
// item without "=" is all key and has an empty value).
std::string ListKeys(const std::string& list);
std::string ListValues(const std::string& list);

// Normalised list of key=value items pairing both lists item by item up to the
// longer one (missing items are empty). With `dropEmptyTail`, empty items at
// the end of each input are dropped first.
std::string ListZip(const std::string& keys, const std::string& values, bool dropEmptyTail = false);

// The list without item `index`, same delimiter; unchanged when the index is
// negative or not below ListCount.
std::string ListDelete(const std::string& list, int index);

// The list with item `index` replaced, extended with empty items when the
// index lies beyond the end. An empty list counts as "|". The delimiter is
// kept unless `value` contains it; then the result is normalised. A negative
// index leaves the list unchanged.
std::string ListSetItem(const std::string& list, int index, const std::string& value);

// Normalised list of the strings; with `unique`, later repeats (compared
// trimmed and ignoring case) are dropped.
std::string ListFromArray(const std::vector<std::string>& strings, bool unique = false);

// The list with the strings appended; keeps its delimiter unless one of the
// strings contains it, else normalised. With `unique`, strings already present
// (compared trimmed and ignoring case) are skipped.
std::string ListAppend(const std::string& list, const std::vector<std::string>& strings, bool unique = false);

// The items in reverse order, same delimiter.
std::string ListReverse(const std::string& list);

// The items without empty ones and without repeats (compared trimmed and
// ignoring case), first occurrence kept, same delimiter.
std::string ListUnique(const std::string& list);

// The list without empty items at its end and/or start; "" when no item is
// left.
std::string ListTrim(const std::string& list, bool trailing = true, bool leading = true);

// Every occurrence of the list's first character replaced by `delimiter`.
std::string ListSetDelimiter(const std::string& list, char delimiter);

// Gives a list the first delimiter of "|", "*", "~", "^", "!", "@", "#", "$",
// "&", 0xFF that occurs in none of its items. A list holding NUL bytes is
// taken as NUL-delimited (how lists are assembled); otherwise its own first
// character is the delimiter. A result of one character becomes "".
std::string NormalizeList(const std::string& list);

// The complete items of a list (those closed by a delimiter), in order.
std::vector<std::string> ListSplit(const std::string& list);
