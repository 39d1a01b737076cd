#include "StartUp.h"

int main(int argc, char** argv)
{
    return runFotodesk(argc, argv);
}
