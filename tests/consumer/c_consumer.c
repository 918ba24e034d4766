/* A C99 program on the installed library: writes a pack holding a one-triangle
   model, lists the pack, loads the model from it and checks the counts, and
   reads a missing member for its code and message. Exits 0 when all holds. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <varnel/varnel.h>

static size_t Word(uint8_t* out, size_t at, uint32_t v) {
  int i;
  for (i = 0; i < 4; ++i) out[at + (size_t)i] = (uint8_t)(v >> (8 * i));
  return at + 4;
}

static size_t Float(uint8_t* out, size_t at, float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return Word(out, at, bits);
}

/* The model of the C++ consumer: 2 x 2 skin, 3 vertices, 1 triangle, frame "base". */
static size_t Model(uint8_t* m) {
  static const uint32_t counts[] = {1, 2, 2, 3, 1, 1, 0, 0};
  size_t at = 0;
  int i;
  memcpy(m, "IDPO", 4);
  at = Word(m, 4, 6);
  for (i = 0; i < 3; ++i) at = Float(m, at, 1.0f);
  for (i = 0; i < 7; ++i) at = Float(m, at, 0.0f);
  for (i = 0; i < 8; ++i) at = Word(m, at, counts[i]);
  at = Float(m, at, 1.0f);
  at = Word(m, at, 0);
  for (i = 0; i < 4; ++i) m[at++] = (uint8_t)i;
  for (i = 0; i < 3; ++i) {
    at = Word(m, at, 0);
    at = Word(m, at, (uint32_t)(i & 1));
    at = Word(m, at, (uint32_t)(i >> 1));
  }
  at = Word(m, at, 1);
  at = Word(m, at, 0);
  at = Word(m, at, 1);
  at = Word(m, at, 2);
  at = Word(m, at, 0);
  memset(m + at, 0, 8 + 16);
  at += 8;
  memcpy(m + at, "base", 4);
  at += 16;
  for (i = 0; i < 3; ++i) {
    m[at++] = (uint8_t)(10 * i);
    m[at++] = 0;
    m[at++] = 0;
    m[at++] = 0;
  }
  return at;
}

/* A pack of one member, "progs/tri.mdl". */
static int WritePack(const char* path) {
  uint8_t bytes[512];
  uint8_t entry[64];
  size_t length = Model(bytes + 12);
  FILE* file;
  int ok;
  memcpy(bytes, "PACK", 4);
  Word(bytes, 4, (uint32_t)(12 + length));
  Word(bytes, 8, 64);
  memset(entry, 0, sizeof entry);
  strcpy((char*)entry, "progs/tri.mdl");
  Word(entry, 56, 12);
  Word(entry, 60, (uint32_t)length);
  file = fopen(path, "wb");
  if (file == NULL) return 0;
  ok = fwrite(bytes, 1, 12 + length, file) == 12 + length && fwrite(entry, 1, 64, file) == 64;
  return fclose(file) == 0 && ok;
}

int main(int argc, char** argv) {
  char pack[4096];
  char message[8];
  size_t needed;
  VNLPACKINFO_T info = {{0}, 0, 0, 0, NULL};
  VNLMODEL_T model;
  uint8_t* block = NULL;
  uint32_t length = 0;
  int32_t code;
  int ok = 1;

  snprintf(pack, sizeof pack, "%s/test.pak", argc > 1 ? argv[1] : ".");
  if (!WritePack(pack)) return 2;

  code = vnlPackInfoRead(pack, &info);
  printf("pack: %d, %u entries, first \"%s\"\n", code, info.entryCount, info.entryCount ? info.entries[0].name : "");
  ok = ok && code == VNL_OK && info.entryCount == 1 && strcmp(info.entries[0].name, "progs\\tri.mdl") == 0;
  vnlPackInfoKill(&info);

  memset(&model, 0, sizeof model);
  code = vnlModelLoadFile(pack, "progs/tri", &model);
  printf("model: %d, %u vertices, %u triangles, %u frames, frame \"%.16s\"\n", code, model.vertexCount,
         model.triangleCount, model.frameCount, model.frameNames ? model.frameNames[0] : "");
  ok = ok && code == VNL_OK && model.vertexCount == 3 && model.triangleCount == 1 && model.frameCount == 1 &&
       strcmp(model.frameNames[0], "base") == 0 && model.frameVertices[1].x == 10.0f;
  vnlModelKill(&model);

  code = vnlPackFileLoad(pack, "progs/none.mdl", &block, &length);
  needed = vnlErrorString(code, message, sizeof message);
  printf("missing member: %d, \"%s\" of %u bytes needed\n", code, message, (unsigned)needed);
  ok = ok && code == VNL_NOT_FOUND && block == NULL && needed == strlen("file no found") &&
       strcmp(message, "file no") == 0;
  free(block);
  return ok ? 0 : 1;
}
