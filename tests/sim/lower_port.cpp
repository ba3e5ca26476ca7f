#include "lower_port.h"

#include <gtest/gtest.h>

namespace simtest {

WideString wide(const std::string& text) { return WideString(text.begin(), text.end()); }

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

Bytes vendorRequest(BYTE code) { return Bytes{code, '1', '2', 0, 0, 0, 0, 0}; }

LowerPort::LowerPort(const std::string& name)
    : name_(wide(name)), printer_(sim::printer(name)), table_(sim::lowerMonitor()) {
  printer_.reset();
  EXPECT_TRUE(table_.pfnOpenPort(&name_[0], &handle_));
}

LowerPort::~LowerPort() {
  if (handle_ != nullptr) table_.pfnClosePort(handle_);
}

BOOL LowerPort::startDoc(DWORD jobId) {
  WideString printerName = wide("Sim Printer");
  return table_.pfnStartDocPort(handle_, &printerName[0], jobId, 1, nullptr);
}

BOOL LowerPort::endDoc() { return table_.pfnEndDocPort(handle_); }

BOOL LowerPort::write(const Bytes& data, DWORD* written) {
  DWORD count = 0;
  Bytes copy = data;
  const BOOL ok = table_.pfnWritePort(handle_, copy.data(), static_cast<DWORD>(copy.size()), &count);
  if (written != nullptr) *written = count;
  return ok;
}

Bytes LowerPort::read(DWORD size, BOOL* ok) {
  Bytes buffer(size);
  DWORD count = 0;
  const BOOL result = table_.pfnReadPort(handle_, buffer.data(), size, &count);
  if (ok != nullptr) *ok = result;
  buffer.resize(count);
  return buffer;
}

BOOL LowerPort::vendor(const Bytes& request) {
  Bytes copy = request;
  DWORD returned = 0;
  return table_.pfnGetPrinterDataFromPort(handle_, 0x220038, nullptr, reinterpret_cast<LPWSTR>(copy.data()),
                                          static_cast<DWORD>(copy.size()), nullptr, 0, &returned);
}

Bytes LowerPort::ask(BYTE code, Bytes* stale) {
  EXPECT_TRUE(vendor(vendorRequest(code)));
  Bytes first = read();
  if (stale != nullptr) *stale = first;
  return read();
}

}  // namespace simtest
