# Tests that run real clients (Godot 3, three.js in headless Chromium, the game
# engine) on what corvane writes. scripts/deps.sh test installs the clients; each
# script exits 77 with its reason when one is missing, which CTest counts as a skip.

add_test(NAME Clients.GodotImportsEveryCorpusModel
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/godot/import.sh $<TARGET_FILE:corvane> ${VARNEL_CORPUS_DIR})
set_tests_properties(Clients.GodotImportsEveryCorpusModel PROPERTIES
  TIMEOUT 900 RUN_SERIAL TRUE SKIP_RETURN_CODE 77 LABELS clients)

# three.js in headless Chromium: every corpus model loads with smooth normals and
# its animation moves between two screenshots.
if(DEFINED ENV{XDG_CACHE_HOME})
  set(BROWSER_CACHE_HOME "$ENV{XDG_CACHE_HOME}")
else()
  set(BROWSER_CACHE_HOME "$ENV{HOME}/.cache")
endif()
set(VARNEL_BROWSER_PACKAGES_DIR "${BROWSER_CACHE_HOME}/varnel/browser" CACHE PATH
  "Folder where npm installed three and playwright-core")
add_test(NAME Clients.ThreeJsShowsEveryCorpusModel
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/browser/run.sh $<TARGET_FILE:corvane> ${VARNEL_CORPUS_DIR}
          ${VARNEL_BROWSER_PACKAGES_DIR})
set_tests_properties(Clients.ThreeJsShowsEveryCorpusModel PROPERTIES
  TIMEOUT 900 RUN_SERIAL TRUE SKIP_RETURN_CODE 77 LABELS clients)

# The game engine (QuakeSpasm as a client under Xvfb, software GL, no network
# socket) loads and draws every corpus model corvane writes, and the corpus
# sprites, each hung in front of the player; see tests/engine/draw_models.py.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME Clients.EngineDrawsEveryCorpusModel
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/engine/draw_models.py
      --corvane $<TARGET_FILE:corvane> --game-files ${VARNEL_CORPUS_DIR} --defs ${VARNEL_CORPUS_DIR}/qc/defs.qc
      "${VARNEL_CORPUS_DIR}/progs/*.mdl" "${VARNEL_CORPUS_DIR}/pak0.pak::progs/*.mdl" "${VARNEL_CORPUS_DIR}/progs/*.spr")
  set_tests_properties(Clients.EngineDrawsEveryCorpusModel PROPERTIES
    TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77 LABELS clients)
  # The engine again, its game files only in a pack corvane made, drawing a sprite
  # corvane made from another's frames written as PNG; see tests/engine/from_corvane.sh.
  add_test(NAME Clients.EngineLoadsAPackAndASpriteCorvaneMade
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/engine/from_corvane.sh $<TARGET_FILE:corvane> ${VARNEL_CORPUS_DIR}
            ${VARNEL_CORPUS_DIR}/qc/defs.qc)
  set_tests_properties(Clients.EngineLoadsAPackAndASpriteCorvaneMade PROPERTIES
    TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77 LABELS clients)
else()
  message(STATUS "No python3: the Clients.Engine tests are left out")
endif()
