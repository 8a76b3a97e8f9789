#pragma once
// plmconv render: writes the preview of one drawing as an SVG file.
#include <iosfwd>
#include <string>
#include <vector>

namespace plm {

// args excludes "plmconv" and "render". Exit status as plmconv's: 0 written, 1 the
// drawing could not be loaded or the picture not written, 2 usage error.
int RunRender(std::vector<std::string> args, std::ostream& out, std::ostream& err);

}  // namespace plm
