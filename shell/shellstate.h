#pragma once
// The state a conversion run shares: the image folder, the conversion switches, the
// status text sink and the worker count. Documents are not part of it: each load
// owns its drawing (shell/formats.h).
#include <functional>
#include <string>

#include "jww/drawingbody.h"
#include "jww/spacingrule.h"

namespace plm {

struct ShellState {
  TempImages Images;  // Images.TempFolder is the image folder; loads list their images themselves
  ConversionSwitches Options;
  // Sets the one-line status text and repaints it at once (the window's status bar,
  // or a printer for the command line). May be empty. A batch calls it only from
  // the thread that started the batch.
  std::function<void(const std::string&)> Status;
  // Drawings the window's batch converts at once; 0: one per core.
  int BatchWorkers = 0;
};

}  // namespace plm
