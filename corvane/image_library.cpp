#include "image_library.h"

#include <dlfcn.h>

const char* const kImageLibraryName = "libfreeimage.so.3";

namespace {

enum class Binding { Unbound, Bound, Missing };

struct LibraryState {
  std::string soname = kImageLibraryName;
  Binding binding = Binding::Unbound;
  ImageLibrary calls{};
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

template <typename Function>
bool Resolve(void* handle, const char* symbol, Function& out, std::string& failure) {
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    failure = std::string("no ") + symbol + " in the library";
    return false;
  }
  out = reinterpret_cast<Function>(address);
  return true;
}

// The handle is never closed: the functions stay valid until the process ends.
bool Load(const std::string& soname, ImageLibrary& calls, std::string& failure) {
  void* handle = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    failure = reason ? reason : soname + " cannot be loaded";
    return false;
  }
  return Resolve(handle, "FreeImage_ConvertFromRawBits", calls.ConvertFromRawBits, failure) &&
         Resolve(handle, "FreeImage_Rescale", calls.Rescale, failure) &&
         Resolve(handle, "FreeImage_ConvertTo24Bits", calls.ConvertTo24Bits, failure) &&
         Resolve(handle, "FreeImage_Save", calls.Save, failure) &&
         Resolve(handle, "FreeImage_Unload", calls.Unload, failure);
}

}  // namespace

const ImageLibrary* BindImageLibrary(std::string& failure) {
  LibraryState& state = State();
  if (state.binding == Binding::Unbound) {
    state.binding = Load(state.soname, state.calls, failure) ? Binding::Bound : Binding::Missing;
  }
  return state.binding == Binding::Bound ? &state.calls : nullptr;
}

void RebindImageLibrary(const std::string& soname) {
  LibraryState& state = State();
  state.soname = soname;
  state.binding = Binding::Unbound;
  state.calls = ImageLibrary{};
}
