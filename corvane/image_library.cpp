#include "image_library.h"

#include <dlfcn.h>

const char* const kImageLibraryName = "libfreeimage.so.3";

namespace {

enum class Binding { Unbound, Bound, Missing };

struct LibraryState {
  std::string soname = kImageLibraryName;
  Binding binding = Binding::Unbound;
  ImageLibrary calls{};
  std::string message;
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

using MessageHook = void (*)(int format, const char* message);

void KeepMessage(int, const char* message) { State().message = message ? message : ""; }

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
  if (!(Resolve(handle, "FreeImage_ConvertFromRawBits", calls.ConvertFromRawBits, failure) &&
        Resolve(handle, "FreeImage_Rescale", calls.Rescale, failure) &&
        Resolve(handle, "FreeImage_ConvertTo24Bits", calls.ConvertTo24Bits, failure) &&
        Resolve(handle, "FreeImage_Unload", calls.Unload, failure) &&
        Resolve(handle, "FreeImage_OpenMemory", calls.OpenMemory, failure) &&
        Resolve(handle, "FreeImage_SaveToMemory", calls.SaveToMemory, failure) &&
        Resolve(handle, "FreeImage_AcquireMemory", calls.AcquireMemory, failure) &&
        Resolve(handle, "FreeImage_CloseMemory", calls.CloseMemory, failure) &&
        Resolve(handle, "FreeImage_GetFileTypeFromMemory", calls.GetFileTypeFromMemory, failure) &&
        Resolve(handle, "FreeImage_LoadFromMemory", calls.LoadFromMemory, failure) &&
        Resolve(handle, "FreeImage_ConvertTo32Bits", calls.ConvertTo32Bits, failure) &&
        Resolve(handle, "FreeImage_GetWidth", calls.GetWidth, failure) &&
        Resolve(handle, "FreeImage_GetHeight", calls.GetHeight, failure) &&
        Resolve(handle, "FreeImage_GetPitch", calls.GetPitch, failure) &&
        Resolve(handle, "FreeImage_GetBits", calls.GetBits, failure)))
    return false;
  // The library's own words for a failure, when it has a hook for them.
  void (*setOutputMessage)(MessageHook) = nullptr;
  std::string ignored;
  if (Resolve(handle, "FreeImage_SetOutputMessage", setOutputMessage, ignored)) setOutputMessage(KeepMessage);
  return true;
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

std::string TakeImageLibraryMessage() {
  std::string message;
  message.swap(State().message);
  return message;
}
