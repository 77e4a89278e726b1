// Loading a U3D stream through the scene library into a U3dModel, with one message
// for every way it can fail.
#pragma once

#include "runtime/input_file.h"
#include "u3d/u3d_model.h"

#include <cstdint>
#include <string>

// Prefix of the temporary file the library reads the stream from.
inline constexpr const char* kU3dTempPrefix = "u3d_bridge";

// documentFolder (UTF-8, may be null or empty) is where external file references are
// resolved. On false, *error (when error is not null) receives a malloc'ed message or
// null. The model is zero-filled first; on failure only its view records, key light
// and header values may be set.
bool loadU3dScene(const uint8_t* data, uint32_t size, const char* documentFolder, U3dModel* model, char** error);
// The same for a caller that hands over its input: the load gives it back once it no
// longer needs it (before gathering geometry).
bool loadU3dSceneFromOwnedInput(InputBytes& input, const char* documentFolder, U3dModel* model, char** error);

// The message for a failed external reference (load result 0x80000015), from the
// diagnosis of the stream's File Reference blocks.
char* externalReferenceMessage(const char* documentFolder, bool found, uint32_t outcome, const std::string& name);
