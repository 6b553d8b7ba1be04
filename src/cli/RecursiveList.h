#pragma once
// list --recursive: the rows of a folder tree, each with the folder it lies in.

#include <iosfwd>
#include <string>

namespace brindle::cli {

// Walks folder and its subfolders (hidden ones skipped, a link to a folder already
// walked not followed) and prints the eleven list columns plus "Folder", the path
// relative to folder ("." for folder itself). sortColumn 1..11 sorts as List does;
// 0 orders by folder, then by file name. A subfolder that cannot be read is named on
// err and makes the status 1; the rest is still listed.
int ListRecursive(const std::string& folder, bool json, int sortColumn, bool descending, std::ostream& out,
                  std::ostream& err);

} // namespace brindle::cli
