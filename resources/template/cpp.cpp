#include <iostream>

int main(int argc, char* argv[])
{
    $0
    return 0;
}
