#pragma once
// Files under tests/data, read whole as bytes.

#include <string>

std::string TestDataPath(const std::string& name);
std::string ReadTestData(const std::string& name);
