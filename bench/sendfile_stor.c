/* A cheap upload client for the transfer benchmark: one STOR whose data goes out with
 * sendfile() straight from the page cache, so that on loopback the client's own copies
 * cost less than curl's read()+send() and the server, not the client, sets the pace.
 *
 * Logs in as anonymous, TYPE I, PASV, STOR NAME, sends FILE, closes the data connection
 * and waits for the final reply. Exit status 0 when that reply starts with 2.
 * Usage: sendfile_stor PORT FILE NAME   (server on 127.0.0.1). A benchmark tool only. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

static int connect_to(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in a = {0};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (fd < 0 || connect(fd, (struct sockaddr*)&a, sizeof(a))) {
    perror("connect");
    exit(1);
  }
  return fd;
}

/* Reads one reply (the last line of a multi-line one) into `line`; returns its code. */
static int read_reply(FILE* control, char* line, size_t size) {
  for (;;) {
    if (!fgets(line, (int)size, control)) {
      fprintf(stderr, "control connection closed\n");
      exit(1);
    }
    if (strlen(line) >= 4 && line[3] == ' ') return atoi(line);
  }
}

static int command(int fd, FILE* control, const char* text, char* line, size_t size) {
  if (write(fd, text, strlen(text)) < 0) exit(1);
  return read_reply(control, line, size);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: sendfile_stor PORT FILE NAME\n");
    return 2;
  }
  const int file = open(argv[2], O_RDONLY);
  struct stat st;
  if (file < 0 || fstat(file, &st)) {
    perror(argv[2]);
    return 1;
  }
  const int fd = connect_to((unsigned short)atoi(argv[1]));
  FILE* control = fdopen(fd, "r");
  char line[512], stor[600];
  read_reply(control, line, sizeof line);
  command(fd, control, "USER anonymous\r\n", line, sizeof line);
  command(fd, control, "PASS bench@\r\n", line, sizeof line);
  command(fd, control, "TYPE I\r\n", line, sizeof line);
  if (command(fd, control, "PASV\r\n", line, sizeof line) != 227) {
    fprintf(stderr, "PASV: %s", line);
    return 1;
  }
  unsigned h1, h2, h3, h4, p1, p2;
  const char* open_paren = strchr(line, '(');
  if (!open_paren ||
      sscanf(open_paren, "(%u,%u,%u,%u,%u,%u)", &h1, &h2, &h3, &h4, &p1, &p2) != 6) {
    fprintf(stderr, "PASV: %s", line);
    return 1;
  }
  const int data = connect_to((unsigned short)(p1 * 256 + p2));
  snprintf(stor, sizeof stor, "STOR %s\r\n", argv[3]);
  if (command(fd, control, stor, line, sizeof line) / 100 != 1) {
    fprintf(stderr, "STOR: %s", line);
    return 1;
  }
  off_t offset = 0;
  while (offset < st.st_size) {
    if (sendfile(data, file, &offset, (size_t)(st.st_size - offset)) <= 0) {
      perror("sendfile");
      return 1;
    }
  }
  close(data);
  const int code = read_reply(control, line, sizeof line);
  if (code / 100 != 2) fprintf(stderr, "after the data: %s", line);
  if (write(fd, "QUIT\r\n", 6) < 0) return 1;
  return code / 100 == 2 ? 0 : 1;
}
