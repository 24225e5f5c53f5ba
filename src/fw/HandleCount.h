#pragma once
// Live counts of the GDI and USER objects that our wrappers own. The system's own counters
// are not available under Wine, so tests read these to prove that nothing piles up.

enum class HandleKind { Icon, Menu, Font, Brush, Bitmap, Palette, DeviceContext, Kinds };

void CountHandleCreated(HandleKind kind);
void CountHandleReleased(HandleKind kind);
int LiveHandleCount(HandleKind kind);
