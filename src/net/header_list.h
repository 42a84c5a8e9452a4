// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// THeaderList: the header lines of a message or a request, each
// "name: value", kept in the order they go out.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace voltare::net {

class THeaderList {
 public:
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() noexcept { lines_.clear(); }
  std::size_t Count() const noexcept { return lines_.size(); }
  const std::string& operator[](std::size_t index) const { return lines_.at(index); }
  const std::vector<std::string>& Lines() const noexcept { return lines_; }

  // Sets the line of `name` (compared without regard to case with the text
  // before a line's first ':'): a non-empty value replaces the first such line
  // or is appended as a new one; an empty value deletes that line.
  void SetHeader(std::string_view name, std::string_view value);

  // Every line followed by CR LF, the way the lines go over the wire.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace voltare::net
