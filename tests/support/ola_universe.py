#!/usr/bin/python3
"""Prints the levels of one of olad's universes (ola-python's client):
'LEVEL,LEVEL,...' for the first --channels channels, or 'none'.

  ola_universe.py --channels N UNIVERSE
"""
import argparse

from ola.ClientWrapper import ClientWrapper


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--channels", type=int, default=32)
    parser.add_argument("universe", type=int)
    args = parser.parse_args()
    wrapper = ClientWrapper()
    answer = []

    def done(status, _universe, data):
        answer.append(list(data) if status.Succeeded() else None)
        wrapper.Stop()

    wrapper.Client().FetchDmx(args.universe, done)
    wrapper.AddEvent(3000, wrapper.Stop)  # Bounded: olad answers in milliseconds.
    wrapper.Run()
    if not answer or answer[0] is None:
        print("none")
    else:
        print(",".join(str(v) for v in (answer[0] + [0] * args.channels)[:args.channels]))


if __name__ == "__main__":
    main()
