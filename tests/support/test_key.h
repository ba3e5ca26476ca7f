// A registry key of one test: HKEY_LOCAL_MACHINE\SOFTWARE\qxlm-tests\<name>,
// deleted when made and when done, so a repeated run starts from the same key.
#pragma once

#include <string>

#include "tests/support/wide.h"

class TestKey {
 public:
  explicit TestKey(const std::string& name);
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  LPWSTR root() { return &root_[0]; }
  BOOL exists() const;
  void set(const std::string& name, DWORD type, const void* data, DWORD size);
  void setDword(const std::string& name, DWORD value) { set(name, REG_DWORD, &value, sizeof value); }
  // FALSE when the value is missing; otherwise its type and its first 4 bytes.
  BOOL query(const std::string& name, DWORD* type, DWORD* value, DWORD* size = nullptr) const;
  void remove();

 private:
  WideString root_;
};
