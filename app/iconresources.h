#pragma once

// The icons live in the windows' static library; registers them once, before a window needs them.
void initIconResources();
