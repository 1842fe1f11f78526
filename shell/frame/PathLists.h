#pragma once
// Path lists between the frame's vectors and the arrays of the file and
// clipboard functions.

#include "foundation/FArray.h"
#include "foundation/FString.h"

#include <vector>

inline FArray<FString> ToFArray(const std::vector<FString>& paths) {
  FArray<FString> array;
  for (const FString& path : paths) {
    array.Append(path);
  }
  return array;
}

inline std::vector<FString> ToVector(const FArray<FString>& paths) {
  std::vector<FString> vector;
  for (int i = 0; i < paths.GetCount(); ++i) {
    vector.push_back(paths[i]);
  }
  return vector;
}
