#include "TestData.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

std::string TestDataPath(const std::string& name)
{
    return std::string(TEST_DATA_DIR) + "/" + name;
}

std::string ReadTestData(const std::string& name)
{
    std::ifstream file(TestDataPath(name), std::ios::binary);
    if (!file)
        throw std::runtime_error("missing test data: " + name);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}
