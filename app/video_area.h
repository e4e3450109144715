#pragma once
// The widget that plays video in the main window (control 1004).
#include "app/video_container_placeholder.h"

using VideoContainer = VideoContainerPlaceholder;
