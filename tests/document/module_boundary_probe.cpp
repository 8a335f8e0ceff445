// Compiled only by the ModuleBoundary test, which expects the second include to fail:
// the first shows that the document module's interface is reachable.
#include "document/scene_document.h"
#include "render/gl_state.h"

int main() {
    return 0;
}
