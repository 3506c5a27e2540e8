#pragma once
// Tests that change the machine they run on (end player processes, delete the player's file-type key)
// may do so only inside the build tree's own Wine prefix, never on a real installation.
namespace mellodeck::test {

// True when this program runs under Wine with WINEPREFIX naming the build tree's own prefix
// (<build tree>/wineprefix). Always false in the native build and on Windows itself.
bool InOwnWinePrefix();

// Throws std::runtime_error, saying which prefix is in use, unless InOwnWinePrefix().
void RequireOwnWinePrefix();

} // namespace mellodeck::test
