#pragma once
// The movie library's public header: what the program includes to use
// libTKRMovie.so.

#include "movie/CTMAVIFileBase.h"
#include "movie/CTMAVIMediaInformation.h"
#include "movie/CTMDirectImageBase.h"
#include "movie/CTMDirectShowBase.h"
#include "movie/CTMThumbnailData.h"
#include "movie/TKRMovieDefs.h"
