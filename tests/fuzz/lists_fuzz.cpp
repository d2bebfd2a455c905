// Every list operation over arbitrary bytes: split the input into a list, a
// key and a value, and check a few invariants that must hold for any input.
#include "base/lists.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const int index = static_cast<int8_t>(data[0]);
    const bool flag = (data[1] & 1) != 0;
    const char delimiter = static_cast<char>(data[2]);
    std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const size_t cut1 = rest.size() / 2;
    const size_t cut2 = cut1 + (rest.size() - cut1) / 2;
    const std::string list = rest.substr(0, cut1);
    const std::string key = rest.substr(cut1, cut2 - cut1);
    const std::string value = rest.substr(cut2);

    const int count = ListCount(list);
    if (count < 0 || static_cast<size_t>(count) > list.size()) std::abort();
    (void)ListItem(list, index, "d");
    (void)ListItemInt64(list, index, 0);
    (void)ListValue(list, key, "d", "e");
    (void)ListIndexOf(list, key, -1, flag);
    (void)ListContains(list, key, flag, !flag);
    (void)ListKeys(list);
    (void)ListValues(list);
    (void)ListZip(list, value, flag);
    (void)ListDelete(list, index);
    (void)ListSetItem(list, index % 64, value);
    (void)ListFromArray({list, key, value}, flag);
    (void)ListAppend(list, {key, value}, flag);
    (void)ListReverse(list);
    (void)ListUnique(list);
    (void)ListTrim(list, flag, !flag);
    (void)ListSetDelimiter(list, delimiter);

    // Normalising keeps a well-formed list well formed, with its items.
    const std::string built = ListFromArray({key, value});
    if (!built.empty() && ListCount(built) != 2) std::abort();
    const std::string normal = NormalizeList(list);
    if (count > 0 && list.find('\0') == std::string::npos &&
        (normal.front() != normal.back() || ListCount(normal) != count))
        std::abort();
    return 0;
}
