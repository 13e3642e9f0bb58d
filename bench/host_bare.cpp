// The yardstick for the host benchmark: a bare RESTinio handler that answers
// the same 4 bytes as test.asp, on one I/O thread, with nothing else.
//
//   host_bare PORT
#include <cstdio>
#include <cstdlib>

#include <restinio/all.hpp>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: host_bare PORT\n");
    return 2;
  }
  auto port = static_cast<unsigned short>(std::atoi(argv[1]));
  std::printf("host_bare: listening on http://127.0.0.1:%u/\n", port);
  std::fflush(stdout);
  restinio::run(restinio::on_this_thread<restinio::default_single_thread_traits_t>()
                    .port(port)
                    .address("127.0.0.1")
                    .request_handler([](auto req) {
                      return req->create_response()
                          .append_header(restinio::http_field::content_type, "text/html; charset=gb2312")
                          .set_body("1233")
                          .done();
                    }));
  return 0;
}
