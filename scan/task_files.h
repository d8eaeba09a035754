// Readers of scheduled-task definitions: the binary ".job" file, the task XML and the action
// list the task cache keeps in the registry. Every reader takes untrusted bytes: it checks each
// length against what is left and gives nothing for a definition it cannot follow.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scan {

// A program a task starts and its arguments, as stored.
struct TTaskCommand {
  std::u16string program;
  std::u16string arguments;
};

// The application name and parameters of a ".job" file; none when the file is cut short.
std::vector<TTaskCommand> ReadJobCommands(std::span<const uint8_t> bytes);

// The <Exec> actions of task XML that is already in the code page's text (entities decoded).
struct TTaskXmlCommand {
  std::string program;
  std::string arguments;
};
std::vector<TTaskXmlCommand> ReadTaskXmlCommands(const std::string& xml);
// Whether the bytes are UTF-16LE text (a byte-order mark, or a '<' followed by a zero byte).
bool IsUtf16Text(std::span<const uint8_t> bytes);
// UTF-16LE bytes as UTF-16 text, without a byte-order mark; an odd last byte is dropped.
std::u16string Utf16FromBytes(std::span<const uint8_t> bytes);

// The executable actions of the task cache's "Actions" value; none past the first action of
// another kind, since only executable actions have a layout known here.
std::vector<TTaskCommand> ReadCachedTaskActions(std::span<const uint8_t> bytes);

}  // namespace scan
