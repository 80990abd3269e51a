#include <string>
#include <vector>

#include "run.h"

int main(int argc, char** argv) {
  return zentoba::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
}
