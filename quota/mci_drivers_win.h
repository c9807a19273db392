// Keeps the media-control drivers loaded once a device has been open.
#pragma once

namespace orvix {

// Pins every media-control driver module the process has loaded (the wave
// driver among them) so that it stays mapped until the process ends. Call
// after a device opened; cheap, and drivers not loaded are left alone.
void KeepMciDriversLoaded() noexcept;

}  // namespace orvix
