// Stages one file the way Browse does, for bench/run to time against cp.
// Usage: stage_file PROGRAM-FOLDER CHOSEN-FILE
// The copy lands in PROGRAM-FOLDER/temp under the chosen file's name.

#include <cstdlib>
#include <iostream>

#include "core/error.h"
#include "core/native_services.h"
#include "core/server_settings.h"
#include "core/staging_area.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::cerr << "usage: stage_file PROGRAM-FOLDER CHOSEN-FILE\n";
    return 2;
  }
  try {
    auto services = tunelift::MakeNativeServices(argv[1]);
    tunelift::ServerSettings server = tunelift::BuiltInServerSettings();
    server.host = "bench.example.net";  // staging only: nothing is sent
    tunelift::StagingArea area(*services, server);
    area.PrepareFolders();
    area.StageFile(argv[2]);
  } catch (const tunelift::Error& error) {
    std::cerr << "stage_file: error " << error.number() << ": " << error.description() << "\n";
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
