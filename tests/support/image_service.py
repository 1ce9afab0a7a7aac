#!/usr/bin/python3
"""A local HTTPS stand-in for the image service that can misbehave per market and per path.

  image_service.py --cert PEM --key PEM [--port N] [--h2] [--config JSON] [--image FILE]
                   [--pictures DIR]

Prints "listening PORT", then one line per event: "open C", "request C TARGET", "closed C".
The JSON config, read again whenever it changes:
  {"markets": {"en-US": B, "*": B}, "prefixes": {"/th?": B}, "goaway_after": N}
B says how to answer: "status", "type", "body" or "body_file", "location", "delay" (s),
"close" (without answering; over HTTP/2 the connection goes, with every stream on it), "hang"
(never answer), "trickle" (a body byte every so many seconds, for ever), "reset_after" (that
many body bytes, then a reset). In place of a B, a list is used in turn, its last B repeating.
A market's body is the archive JSON for its code (as many days as asked for, up to 8) unless B
gives one. A picture address serves DIR/<its name>.jpg where there is one ("OHR.Day1" for any
size of it), else FILE.
With --h2, HTTP/2 is offered by ALPN, and "goaway_after" ends each connection after N requests
with a GOAWAY that leaves the later streams unprocessed.
"""
import argparse
import asyncio
import datetime
import itertools
import json
import os
import signal
import socket
import ssl
import struct
import urllib.parse

import h2.config
import h2.connection
import h2.events
import hyperframe.frame

args = None
config = {}
config_stamp = None
used = {}  # market or prefix -> answers of its list used so far
connections = 0


def emit(*words):
    print(*words, flush=True)


def load_config():
    global config, config_stamp
    if not args.config:
        return
    stamp = os.stat(args.config).st_mtime_ns
    if stamp != config_stamp:
        with open(args.config) as f:
            config = json.load(f)
        config_stamp = stamp
        used.clear()


def archive_json(market, n):
    """Today's picture is OHR.Test in every market, the day before OHR.Day1, and so on."""
    def image(i):
        day = datetime.date.today() - datetime.timedelta(days=i)
        name = f"OHR.Test_{market}" if i == 0 else f"OHR.Day{i}_{market}"
        title = f"Test picture {market}" if i == 0 else f"Day {i} in {market}"
        about = f"Test picture for {market}" if i == 0 else title
        return {"startdate": day.strftime("%Y%m%d"),
                "url": f"/th?id={name}_1920x1080.jpg&rf=LaDigue_1920x1080.jpg&pid=hp",
                "urlbase": f"/th?id={name}",
                "copyright": f"{about} (\u00a9 Daylume tests)",
                "copyrightlink": f"https://www.bing.com/search?q=Daylume+test+{market}+{i}",
                "title": title}
    return json.dumps({"images": [image(i) for i in range(n)], "tooltips": {}})


def in_turn(key, answers):
    if not isinstance(answers, list):
        return answers
    n = used.get(key, 0)
    used[key] = n + 1
    return answers[min(n, len(answers) - 1)]


def behaviour(target):
    load_config()
    path, _, query = target.partition("?")
    if path == "/HPImageArchive.aspx":
        fields = urllib.parse.parse_qs(query)
        market = fields.get("mkt", [""])[0]
        n = min(max(int(fields.get("n", ["1"])[0] or 1), 1), 8)
        markets = config.get("markets", {})
        key = market if market in markets else "*"
        answer = dict(in_turn(key, markets.get(key, {})))
        if "body" not in answer and "body_file" not in answer:
            answer["body"] = archive_json(market, n)
        return answer
    for prefix, answers in config.get("prefixes", {}).items():
        if target.startswith(prefix):
            return in_turn(prefix, answers)
    if target.startswith("/th?"):
        # The picture of its name (OHR.Day1 in /th?id=OHR.Day1_en-US_400x240.jpg), else the one.
        name = urllib.parse.parse_qs(query).get("id", [""])[0].split("_")[0]
        own = os.path.join(args.pictures, os.path.basename(name) + ".jpg") if args.pictures else ""
        if own and os.path.isfile(own):
            return {"type": "image/jpeg", "body_file": own}
        if args.image:
            return {"type": "image/jpeg", "body_file": args.image}
    return {"status": 404, "type": "text/html", "body": "<html><h1>Not Found</h1></html>"}


def body_of(answer):
    if "body_file" in answer:
        with open(answer["body_file"], "rb") as f:
            return f.read()
    return answer.get("body", "").encode()


def head_fields(answer, body):
    fields = [("content-type", answer.get("type", "application/json; charset=utf-8")),
              ("content-length", str(len(body)))]
    if "location" in answer:
        fields.append(("location", answer["location"]))
    return fields


async def serve_http1(reader, writer, number):
    while True:
        head = await reader.readuntil(b"\r\n\r\n")
        target = head.split(b" ")[1].decode()
        emit("request", number, target)
        answer = behaviour(target)
        await asyncio.sleep(answer.get("delay", 0))
        if answer.get("close"):
            return
        if answer.get("hang"):
            await reader.read()  # until the client goes
            return
        body = body_of(answer)
        status = answer.get("status", 200)
        head = f"HTTP/1.1 {status} Status\r\n" + "".join(
            f"{name}: {value}\r\n" for name, value in head_fields(answer, body)) + "\r\n"
        if "trickle" in answer:  # a body that never ends
            writer.write(head.replace(f"content-length: {len(body)}", "content-length: 999999999")
                         .encode())
            for byte in itertools.cycle(body or b" "):
                writer.write(bytes([byte]))
                await writer.drain()
                await asyncio.sleep(answer["trickle"])
        if "reset_after" in answer:
            writer.write(head.encode() + body[:answer["reset_after"]])
            await writer.drain()
            await asyncio.sleep(0.05)  # let the client read what came before the reset
            sock = writer.get_extra_info("socket")
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            writer.transport.abort()
            return
        writer.write(head.encode() + body)
        await writer.drain()


async def serve_http2(reader, writer, number):
    conn = h2.connection.H2Connection(h2.config.H2Configuration(client_side=False))
    conn.initiate_connection()
    writer.write(conn.data_to_send())
    window_opened = asyncio.Event()
    cancelled = set()  # streams the client has reset
    requests = 0
    going_away = False

    async def respond(stream, target):
        answer = behaviour(target)
        await asyncio.sleep(answer.get("delay", 0))
        if answer.get("close"):  # the whole connection, with every stream on it
            writer.transport.abort()
        if answer.get("hang") or answer.get("close") or stream in cancelled:
            return
        body = memoryview(body_of(answer))
        conn.send_headers(stream, [(":status", str(answer.get("status", 200)))] +
                          head_fields(answer, body), end_stream=not body)
        while body:
            size = min(conn.local_flow_control_window(stream), conn.max_outbound_frame_size,
                       len(body))
            if size == 0:
                window_opened.clear()
                writer.write(conn.data_to_send())
                await window_opened.wait()
                continue
            if stream in cancelled:
                return
            conn.send_data(stream, body[:size].tobytes(), end_stream=size == len(body))
            body = body[size:]
        writer.write(conn.data_to_send())
        if going_away and not conn.open_inbound_streams:
            writer.close()

    tasks = set()
    while data := await reader.read(65536):
        for event in conn.receive_data(data):
            if isinstance(event, h2.events.RequestReceived):
                if going_away:
                    continue  # beyond the GOAWAY's last stream: never processed
                target = dict(event.headers)[b":path"].decode()
                emit("request", number, target)
                requests += 1
                tasks.add(asyncio.create_task(respond(event.stream_id, target)))
                load_config()
                limit = config.get("goaway_after")
                if limit and requests >= limit:
                    # Sent by hand: h2's own GOAWAY would stop this side answering the streams
                    # it has taken on.
                    going_away = True
                    goaway = hyperframe.frame.GoAwayFrame(0)
                    goaway.last_stream_id = event.stream_id
                    writer.write(conn.data_to_send() + goaway.serialize())
            elif isinstance(event, h2.events.WindowUpdated):
                window_opened.set()
            elif isinstance(event, h2.events.StreamReset):
                cancelled.add(event.stream_id)
                window_opened.set()
        writer.write(conn.data_to_send())


async def serve(reader, writer):
    global connections
    connections += 1
    number = connections
    emit("open", number)
    try:
        if writer.get_extra_info("ssl_object").selected_alpn_protocol() == "h2":
            await serve_http2(reader, writer, number)
        else:
            await serve_http1(reader, writer, number)
    except (asyncio.IncompleteReadError, ConnectionError, ssl.SSLError):
        pass
    finally:
        emit("closed", number)
        writer.transport.abort()


async def main():
    global args
    parser = argparse.ArgumentParser()
    for option in ("--cert", "--key", "--config", "--image", "--pictures"):
        parser.add_argument(option)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--h2", action="store_true")
    args = parser.parse_args()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    context.set_alpn_protocols(["h2", "http/1.1"] if args.h2 else ["http/1.1"])
    server = await asyncio.start_server(serve, "127.0.0.1", args.port, ssl=context)
    emit("listening", server.sockets[0].getsockname()[1])
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, stop.set)
    await stop.wait()


if __name__ == "__main__":
    asyncio.run(main())
