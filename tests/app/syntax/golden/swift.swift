// Playlist.swift - a music playlist model
import Foundation

/*
 A block comment over several lines;
 braces here { do not fold }.
 */

/// A single track.
/// - Parameter title: the track's name
struct Track: Codable, Hashable {
    let title: String
    let seconds: Int
    var rating: Double? = nil
}

enum PlaylistError: Error {
    case empty
    case tooLong(limit: Int)
}

/**
 A list of tracks that can be shuffled.
 - Returns: nothing
 */
@MainActor
final class Playlist {
    static let maxTracks = 0xFF
    private let mask = 0b1010_1010
    private let octal = 0o17
    private(set) var tracks: [Track] = []
    lazy var ratio: Double = 1.5e3 / 2.0

    init(_ tracks: [Track] = []) {
        self.tracks = tracks
    }

    func add(_ track: Track) throws {
        guard tracks.count < Self.maxTracks else {
            throw PlaylistError.tooLong(limit: Self.maxTracks)
        }
        tracks.append(track)
    }

    var totalTime: String {
        let total = tracks.reduce(0) { $0 + $1.seconds }
        return "\(total / 60) min \(total % 60) s {total}"
    }

    func describe() -> String {
        let header = """
            Playlist with \(tracks.count) tracks
            "quoted" and {braces}
            """
        let raw = #"raw \(not interpolated) "quotes""#
        return header + raw + "\t\u{1F3B5}\n"
    }

    func shuffled() async -> [Track] {
        var copy = tracks
        copy.shuffle()
        return copy
    }
}

#if DEBUG
let debugPlaylist = Playlist([Track(title: "Test", seconds: 90)])
#endif

func main() async {
    let list = Playlist()
    do {
        try list.add(Track(title: "Intro", seconds: 75, rating: 4.5))
    } catch let error as PlaylistError {
        print("failed: \(error)", #line)
    } catch {
        fatalError("unexpected")
    }
    if let first = await list.shuffled().first {
        print(first.title, list.totalTime, separator: ", ")
    }
    let isEmpty = list.tracks.isEmpty ? true : false
    print(isEmpty, list.describe())
}
