// DLLs and their functions found at run time.
#pragma once

#include <windows.h>

// The export `name` of `module` as a function of type Function, or null.
template <class Function>
Function FindExport(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A DLL loaded at run time, freed when it goes out of scope.
class LoadedModule {
 public:
  explicit LoadedModule(HMODULE module) : module_(module) {}
  ~LoadedModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool Loaded() const { return module_ != nullptr; }

  // The export `name` as a function of type Function, or null.
  template <class Function>
  Function Find(const char* name) const {
    return FindExport<Function>(module_, name);
  }

 private:
  HMODULE module_;
};
