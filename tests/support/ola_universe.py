#!/usr/bin/python3
"""Prints the levels of olad's universes (ola-python's client), one line
each: 'UNIVERSE LEVEL,LEVEL,...' for the first --channels channels.

  ola_universe.py --channels N UNIVERSE...
"""
import argparse
import sys

from ola.ClientWrapper import ClientWrapper


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--channels", type=int, default=32)
    parser.add_argument("universes", type=int, nargs="+")
    args = parser.parse_args()
    wrapper = ClientWrapper()
    client = wrapper.Client()
    pending = list(args.universes)
    answers = {}

    def fetched(universe):
        def done(status, _universe, data):
            answers[universe] = list(data) if status.Succeeded() else None
            if len(answers) == len(args.universes):
                wrapper.Stop()
        return done

    for universe in pending:
        client.FetchDmx(universe, fetched(universe))
    wrapper.AddEvent(3000, wrapper.Stop)  # Bounded: olad answers in milliseconds.
    wrapper.Run()
    for universe in args.universes:
        data = answers.get(universe)
        if data is None:
            print(f"{universe} none")
            continue
        data = (data + [0] * args.channels)[:args.channels]
        print(f"{universe} " + ",".join(str(v) for v in data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
