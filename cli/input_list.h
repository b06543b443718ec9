#pragma once
// Sources read from a list (find's output, a cluster job's list) and the
// share of a list one worker of many converts.
#include <cstddef>
#include <string>
#include <vector>

namespace tembrel::cli {

// Reads the names in the list at path ("-": standard input), newline- or,
// with nul, NUL-separated; the last name needs no separator after it. False
// with a message in *error when the list cannot be read, a name is empty,
// a line of a newline list ends in CR (a CRLF list), or a list meant to be
// NUL-separated holds no NUL (it is most likely a newline list, whose names
// would run together).
bool ReadInputList(const std::string& path, bool nul, std::vector<std::string>& names, std::string* error);

// Part `index` (1 to count) of `count` contiguous parts of a list of
// `total` items, as [begin, end): the parts differ in size by one at most,
// never overlap and together cover the list.
struct ShardRange {
    std::size_t begin = 0, end = 0;
};
ShardRange ShardOf(std::size_t total, int index, int count);

// "K/N" with 1 <= K <= N; false when text is anything else.
bool ParseShard(const std::string& text, int& index, int& count);

}  // namespace tembrel::cli
