// plotwick --render FILE -o OUT.png [--sheet N] [--size WxH]: one sheet drawn into a
// PNG picture without a window.
#pragma once

#include <string>
#include <vector>

namespace plotwick {

// `arguments` follow "--render". Exit status: 0 drawn; 1 drawn only in part, or the
// file holds no such sheet (the message is printed); 2 usage error or unwritable output.
int runRenderCommand(const std::vector<std::string>& arguments);

}  // namespace plotwick
