// The whole model path of the converter: load, every operation, the selected
// frame, then the OBJ, ASE and report writers into a temporary folder.
// Run with -close_fd_mask=1: the writers log to stdout.
#include <unistd.h>

#include <string>

#include "model_writers.h"
#include "modes.h"
#include "report.h"
#include "state.h"

namespace {

const std::string& Folder() {
  static std::string folder = [] {
    char name[] = "/tmp/fuzz-pipeline-XXXXXX";
    return std::string(mkdtemp(name) ? name : "/tmp");
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetState();
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  if (vnlModelLoad(block, length, gState.model) != 0) return 0;

  gState.flags = OPT_REPLACE | OPT_SKINNOBACK | OPT_SWAPYZ;
  gState.modelFile = "progs\\fuzz.mdl";
  gState.baseName = "fuzz";
  gState.imageExt = "tga";
  gState.frameName = std::string(gState.model.frameNames[0], 16).c_str();
  vnlModelSwapTris(gState.model);
  vnlModelSkinInv(gState.model);
  vnlModelSkinNoBack(gState.model);
  vnlModelScale(gState.model, 1.5f);
  SwapFrameYZ();

  gState.dstFile = Folder() + "/out.obj";
  WriteObj();
  gState.dstFile = Folder() + "/out.ase";
  WriteAse();
  gState.reportFile = Folder() + "/out.txt";
  WriteReport();
  ResetState();
  return 0;
}
