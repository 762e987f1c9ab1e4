#pragma once
// Movie files read as sequences: the image library's movie reader (ffmpeg) presents each frame
// of a movie as one sub-image of the file.

#include <string>

#include "app/Raster.h"

namespace pxhost {

// Whether the file name's extension is one the image library reads as a movie (.mov, .mp4,
// .avi, ...).
bool isMovieFile(const std::string& path);

// Reads one frame of a movie; frames count from 1. Throws RenderError naming the file and the
// frame when the movie has no such frame or cannot be read.
Raster readMovieFrame(const std::string& path, long frame);

}  // namespace pxhost
