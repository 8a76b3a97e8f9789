#pragma once
// The documents and shared state the shell owns: one instance per format, the image
// folder with its list, the conversion switches and the status text sink.
#include <functional>
#include <string>

#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "legacy/jwcmemo.h"
#include "legacy/jwkmemo.h"
#include "jww/drawingbody.h"

namespace plm {

struct ShellState {
  JwwDocument Jww;
  JwsDocument Jws;
  jwc::THeader Jwc;
  jwk::THeader Jwk;
  TempImages Images;  // Images.TempFolder is the image folder
  ConversionSwitches Options;
  // Sets the one-line status text and repaints it at once (the window's status bar,
  // or a printer for the command line). May be empty. A batch calls it only from
  // the thread that started the batch.
  std::function<void(const std::string&)> Status;
  // Drawings the window's batch converts at once; 0: one per core.
  int BatchWorkers = 0;
};

}  // namespace plm
