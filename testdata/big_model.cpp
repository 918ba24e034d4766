#include "big_model.h"

namespace testdata {

namespace {

ModelRecipe WithSkin(int skinWidth, int skinHeight) {
  ModelRecipe recipe;
  recipe.skinWidth = skinWidth;
  recipe.skinHeight = skinHeight;
  recipe.skins.push_back(ModelSkin{false, {}, {SkinPixels(recipe)}});
  return recipe;
}

// One frame that places vertex i by its index.
void AddOneFrame(ModelRecipe& recipe) {
  ModelFrame frame;
  frame.name = "frame0";
  for (size_t i = 0; i < recipe.vertices.size(); ++i)
    frame.positions.push_back({uint8_t(i & 255), uint8_t((i * 5) & 255), uint8_t((i * 11) & 255)});
  recipe.frames.push_back(ModelFrameEntry{false, {}, {frame}});
}

}  // namespace

ModelRecipe BigModel(int vertices, int frames, int skinWidth, int skinHeight) {
  ModelRecipe recipe = WithSkin(skinWidth, skinHeight);
  recipe.scale[0] = 0.37f;
  recipe.scale[1] = 0.41f;
  recipe.scale[2] = 0.53f;
  recipe.origin[0] = -47.5f;
  recipe.origin[1] = -52.25f;
  recipe.origin[2] = -24.0f;
  for (int i = 0; i < vertices; ++i)
    recipe.vertices.push_back(ModelSkinVertex{i % 8 == 0 ? 1 : 0, (i * 37) % skinWidth, (i * 53) % skinHeight});
  for (int i = 0; i + 2 < vertices && recipe.triangles.size() + 2 <= 65535; ++i) {  // counts are 16-bit
    recipe.triangles.push_back(ModelTriangle{i % 3 == 0 ? 0 : 1, {i, i + 1, i + 2}});
    recipe.triangles.push_back(ModelTriangle{1, {i + 2, i + 1, (i * 7) % vertices}});
  }
  for (int f = 0; f < frames; ++f) {
    ModelFrame frame;
    frame.name = "frame" + std::to_string(f);
    for (int i = 0; i < vertices; ++i)
      frame.positions.push_back(
          {uint8_t((i * 3 + f) & 255), uint8_t((i * 5 + 2 * f) & 255), uint8_t((i * 11 + f) & 255)});
    recipe.frames.push_back(ModelFrameEntry{false, {}, {frame}});
  }
  return recipe;
}

ModelRecipe TiledSkinModel(int columns, int rows, int skinWidth, int skinHeight) {
  ModelRecipe recipe = WithSkin(skinWidth, skinHeight);
  for (int y = 0; y <= rows; ++y)
    for (int x = 0; x <= columns; ++x)
      recipe.vertices.push_back(ModelSkinVertex{0, x * (skinWidth - 1) / columns, y * (skinHeight - 1) / rows});
  auto point = [columns](int x, int y) { return y * (columns + 1) + x; };
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      recipe.triangles.push_back(ModelTriangle{1, {point(x, y), point(x + 1, y), point(x, y + 1)}});
      recipe.triangles.push_back(ModelTriangle{1, {point(x + 1, y), point(x + 1, y + 1), point(x, y + 1)}});
    }
  AddOneFrame(recipe);
  return recipe;
}

ModelRecipe WholeSkinTriangles(int count, int skinWidth, int skinHeight) {
  ModelRecipe recipe = WithSkin(skinWidth, skinHeight);
  recipe.vertices = {{0, 0, 0}, {0, skinWidth - 1, 0}, {0, 0, skinHeight - 1}, {0, skinWidth - 1, skinHeight - 1}};
  for (int i = 0; i < count; ++i) {
    // The two halves of the skin in turn; each triangle's box is the whole skin.
    if (i % 2 == 0)
      recipe.triangles.push_back(ModelTriangle{1, {0, 1, 3}});
    else
      recipe.triangles.push_back(ModelTriangle{1, {0, 3, 2}});
  }
  AddOneFrame(recipe);
  return recipe;
}

}  // namespace testdata
