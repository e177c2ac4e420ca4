/* The raw limit for the transfer benchmark: the least an FTP server can do per block.
 *
 * Answers just the commands curl sends for one upload or download (USER, PASS, PWD,
 * TYPE, EPSV/PASV, SIZE, STOR, RETR, QUIT) with fixed replies, one process per control
 * connection, and moves the data in one of four ways:
 *   recv      recv() of 64 KiB, then write() of it          (uploads)
 *   splice    splice() socket -> pipe of 64 KiB -> file      (uploads)
 *   splice1m  the same through a pipe of 1 MiB                (uploads; kestov-a's way)
 *   send      read() of 64 KiB, then send() of it            (downloads)
 *   sendfile  sendfile() of 64 KiB at a time                 (downloads)
 * Usage: raw_ftp_baseline MODE FOLDER   (prints "port N" once it listens on 127.0.0.1).
 * No error recovery, no security: a benchmark baseline only. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#define BLOCK 65536

static const char* mode;
static const char* folder;

static int listen_any(unsigned short* port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in a = {0};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(a);
  if (fd < 0 || bind(fd, (struct sockaddr*)&a, sizeof(a)) || listen(fd, 16) ||
      getsockname(fd, (struct sockaddr*)&a, &len)) {
    perror("listen");
    exit(1);
  }
  *port = ntohs(a.sin_port);
  return fd;
}

static void reply(int fd, const char* text) {
  if (write(fd, text, strlen(text)) < 0) exit(0);
}

static void receive_file(int data, int file) {
  if (strncmp(mode, "splice", 6) == 0) {
    const size_t size = strcmp(mode, "splice1m") == 0 ? 16 * BLOCK : BLOCK;
    int p[2];
    if (pipe(p)) exit(1);
    fcntl(p[1], F_SETPIPE_SZ, (int)size);
    for (;;) {
      ssize_t n = splice(data, NULL, p[1], NULL, size, SPLICE_F_MOVE);
      if (n <= 0) break;
      while (n > 0) {
        ssize_t m = splice(p[0], NULL, file, NULL, (size_t)n, SPLICE_F_MOVE);
        if (m <= 0) exit(1);
        n -= m;
      }
    }
    close(p[0]);
    close(p[1]);
    return;
  }
  static char buffer[BLOCK];
  for (;;) {
    ssize_t n = recv(data, buffer, BLOCK, 0);
    if (n <= 0) break;
    if (write(file, buffer, (size_t)n) != n) exit(1);
  }
}

static void send_file(int data, int file) {
  if (strcmp(mode, "sendfile") == 0) {
    while (sendfile(data, file, NULL, BLOCK) > 0) {
    }
    return;
  }
  static char buffer[BLOCK];
  for (;;) {
    ssize_t n = read(file, buffer, BLOCK);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      ssize_t m = send(data, buffer + at, (size_t)(n - at), MSG_NOSIGNAL);
      if (m <= 0) return;
      at += m;
    }
  }
}

static void session(int control) {
  FILE* in = fdopen(dup(control), "r");
  char line[1024], path[2048], text[256];
  int passive = -1;
  reply(control, "220 raw baseline\r\n");
  while (fgets(line, sizeof(line), in)) {
    line[strcspn(line, "\r\n")] = 0;
    char* arg = strchr(line, ' ');
    arg = arg ? arg + 1 : line + strlen(line);
    const char* name = strrchr(arg, '/') ? strrchr(arg, '/') + 1 : arg;
    snprintf(path, sizeof(path), "%s/%s", folder, name);
    if (!strncasecmp(line, "USER", 4)) {
      reply(control, "331 Password please\r\n");
    } else if (!strncasecmp(line, "PASS", 4)) {
      reply(control, "230 Logged in\r\n");
    } else if (!strncasecmp(line, "PWD", 3)) {
      reply(control, "257 \"/\"\r\n");
    } else if (!strncasecmp(line, "EPSV", 4) || !strncasecmp(line, "PASV", 4)) {
      unsigned short port;
      if (passive >= 0) close(passive);
      passive = listen_any(&port);
      if (!strncasecmp(line, "EPSV", 4))
        snprintf(text, sizeof(text), "229 Entering Extended Passive Mode (|||%u|)\r\n", port);
      else
        snprintf(text, sizeof(text), "227 Entering Passive Mode (127,0,0,1,%u,%u)\r\n",
                 port >> 8, port & 255);
      reply(control, text);
    } else if (!strncasecmp(line, "SIZE", 4)) {
      struct stat st;
      if (stat(path, &st) == 0) {
        snprintf(text, sizeof(text), "213 %lld\r\n", (long long)st.st_size);
        reply(control, text);
      } else {
        reply(control, "550 No such file\r\n");
      }
    } else if (!strncasecmp(line, "STOR", 4) || !strncasecmp(line, "RETR", 4)) {
      const int store = !strncasecmp(line, "STOR", 4);
      const int file = store ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : open(path, O_RDONLY);
      if (file < 0 || passive < 0) {
        reply(control, "550 Cannot\r\n");
        continue;
      }
      reply(control, "150 Data\r\n");
      const int data = accept(passive, NULL, NULL);
      close(passive);
      passive = -1;
      if (store)
        receive_file(data, file);
      else
        send_file(data, file);
      close(data);
      close(file);
      reply(control, "226 Done\r\n");
    } else if (!strncasecmp(line, "QUIT", 4)) {
      reply(control, "221 Bye\r\n");
      break;
    } else if (!strncasecmp(line, "TYPE", 4) || !strncasecmp(line, "CWD", 3)) {
      reply(control, "200 OK\r\n");
    } else {
      reply(control, "502 Not here\r\n");
    }
  }
  exit(0);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: raw_ftp_baseline recv|splice|splice1m|send|sendfile FOLDER\n");
    return 2;
  }
  mode = argv[1];
  folder = argv[2];
  signal(SIGCHLD, SIG_IGN);
  unsigned short port;
  const int listener = listen_any(&port);
  printf("port %u\n", port);
  fflush(stdout);
  for (;;) {
    const int control = accept(listener, NULL, NULL);
    if (control < 0) continue;
    if (fork() == 0) {
      close(listener);
      session(control);
    }
    close(control);
  }
}
