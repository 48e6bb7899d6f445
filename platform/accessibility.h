#pragma once

// What screen readers are told about the platform's own controls: a tab control is a list of
// page tabs, each holding its page; a label that only frames another label's value is left out
// of speech; a window is a window. Install once, before the first window is built.
namespace platform {

void installAccessibility();

} // namespace platform
