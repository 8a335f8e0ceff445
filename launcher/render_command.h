// plotwick --render FILE -o OUT.png [--sheet N] [--size WxH]: one sheet drawn into a
// PNG picture without a window; -o OUT.svg or OUT.pdf [--sheet N|--all-sheets]: the
// sheet (or, into a PDF, every sheet) as vectors on pages of its paper's size.
#pragma once

#include <string>
#include <vector>

namespace plotwick {

// `arguments` follow "--render". Exit status: 0 drawn; 1 drawn only in part, or the
// file holds no such sheet (the message is printed); 2 usage error or unwritable output.
int runRenderCommand(const std::vector<std::string>& arguments);

}  // namespace plotwick
