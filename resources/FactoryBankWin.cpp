// The Windows modules read the factory bank from their resource PROGINIT of type INIT.
#include "resources/FactoryBank.h"

#include <windows.h>

namespace {

struct ResourceBytes {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

ResourceBytes FindFactoryBank() {
  ResourceBytes bank;
  HMODULE module = nullptr;
  // The module that holds this code holds the resource.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&FindFactoryBank), &module)) {
    return bank;
  }
  HRSRC resource = FindResourceW(module, L"PROGINIT", L"INIT");
  if (!resource) return bank;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return bank;
  bank.data = static_cast<const unsigned char*>(bytes);
  bank.size = SizeofResource(module, resource);
  return bank;
}

const ResourceBytes& FactoryBank() {
  static const ResourceBytes bank = FindFactoryBank();
  return bank;
}

}  // namespace

const unsigned char* FactoryBankData() { return FactoryBank().data; }
size_t FactoryBankSize() { return FactoryBank().size; }
