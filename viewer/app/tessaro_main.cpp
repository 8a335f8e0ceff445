#include "app/viewer_app.h"

int main(int argc, char** argv) {
    return tessaro::runViewer(argc, argv);
}
