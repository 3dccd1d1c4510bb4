// vltrx: start-up and dispatch.
#include <cstdio>
int main(int argc, char** argv) {
  std::puts("vltrx");
  return 1;
}
