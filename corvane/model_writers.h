// The model files: ASE scene, OBJ object with its MTL material library.
#ifndef CORVANE_MODEL_WRITERS_H
#define CORVANE_MODEL_WRITERS_H

// Writes the selected frame of gState.model to gState.dstFile as an ASE scene.
int WriteAse();
// Writes the selected frame to gState.dstFile (OBJ) and its material library.
int WriteObj();

#endif
